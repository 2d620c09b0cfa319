#include "secure/SecureMailTransport.h"

#include <QLoggingCategory>
#include <QPointer>

Q_LOGGING_CATEGORY(lcSecureMail, "vistrel.secure.mail")

SecureMailTransport::SecureMailTransport(StatusWriter status, QObject* parent)
    : MailTransport(parent), m_status(std::move(status)),
      m_ssl([this](const QByteArray& record) { m_winSSL.sendData(record); })
{
    connect(&m_winSSL, &SocketControl::connected, this, &SecureMailTransport::winSSL_Connect);
    connect(&m_winSSL, &SocketControl::dataArrival, this, &SecureMailTransport::winSSL_DataArrival);
    connect(&m_winSSL, &SocketControl::error, this, &SecureMailTransport::winSSL_Error);
    connect(&m_winSSL, &SocketControl::closed, this, &SecureMailTransport::winSSL_Close);
}

QString SecureMailTransport::providerMissingText()
{
    return QStringLiteral("Vistrel has detected that you do not have the required High Encryption Pack installed.\r\n"
                          "The RC4 cipher needs the \"legacy\" provider of OpenSSL 3: please install or repair "
                          "your distribution's OpenSSL library package (libssl3 on Debian).");
}

void SecureMailTransport::connectTo(const QString& host, quint16 port)
{
    m_ssl.reset();
    m_winSSL.connectTo(host, port);
}

void SecureMailTransport::winSSL_Connect()
{
    // A session never inherits bytes or keys of an earlier one.
    m_ssl.reset();
    m_status(QStringLiteral("Creating Secure Session"));
    QString error;
    auto crypto = CryptoCls::make(&error);
    if (!crypto) {
        qCWarning(lcSecureMail) << error;
        return fail(providerMissingText());
    }
    if (!m_ssl.SendClientHello(std::move(crypto), &error))
        return fail(error);
    // The handshake goes on in winSSL_DataArrival as the server's records come in.
}

void SecureMailTransport::winSSL_DataArrival(qint64)
{
    const QByteArray bytes = m_winSSL.getData();
    if (m_ssl.state() == SSLv2::State::Idle || m_ssl.state() == SSLv2::State::Aborted)
        return; // no session: nothing is decoded
    const SSLv2::Outcome outcome = m_ssl.receive(bytes);
    if (!outcome.error.isEmpty())
        return fail(outcome.error);
    QPointer<SecureMailTransport> alive(this);
    if (outcome.established) {
        m_status(QStringLiteral("Secure Session Connected"));
        emit connected();
        // The session may have closed the connection (or dropped this object) in its handler.
        if (!alive || m_winSSL.state() != SocketControl::Connected)
            return;
    }
    if (!outcome.data.isEmpty())
        emit received(outcome.data);
}

void SecureMailTransport::winSSL_Error(int number, const QString& description)
{
    fail(QStringLiteral("Winsock Error: (%1) %2").arg(number).arg(description));
}

void SecureMailTransport::fail(const QString& reason)
{
    winSSL_Close();
    emit failed(reason);
}

void SecureMailTransport::winSSL_Close()
{
    m_winSSL.close();
    m_ssl.reset();
}
