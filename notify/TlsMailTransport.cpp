#include "notify/TlsMailTransport.h"

#include "platform/SocketControl.h"

#include <QLoggingCategory>
#include <QSslCipher>
#include <QSslConfiguration>

Q_LOGGING_CATEGORY(lcTlsMail, "vistrel.notify.tls", QtInfoMsg)

TlsMailTransport::TlsMailTransport(QObject* parent) : MailTransport(parent) {}

QSslSocket& TlsMailTransport::socket()
{
    if (m_socket)
        return *m_socket;
    m_socket = std::make_unique<QSslSocket>();
    connect(m_socket.get(), &QSslSocket::connected, this, [this] {
        if (m_closed)
            return;
        if (m_mode == Mode::StartTls)
            emit connected();
        else
            m_handshaking = true; // QSslSocket goes on with the handshake by itself
    });
    connect(m_socket.get(), &QSslSocket::encrypted, this, [this] {
        if (m_closed)
            return;
        m_handshaking = false;
        qCDebug(lcTlsMail) << "encrypted with" << m_socket->sessionProtocol() << m_socket->sessionCipher().name();
        if (m_mode == Mode::Implicit)
            emit connected();
        else
            emit encrypted();
    });
    connect(m_socket.get(), &QSslSocket::readyRead, this, [this] {
        const QByteArray data = m_socket->readAll();
        if (!m_closed && !data.isEmpty())
            emit received(data);
    });
    connect(m_socket.get(), &QSslSocket::sslErrors, this, &TlsMailTransport::onSslErrors);
    connect(m_socket.get(), &QSslSocket::errorOccurred, this, &TlsMailTransport::onError);
    connect(m_socket.get(), &QSslSocket::disconnected, this, [this] {
        // A close in the middle of the handshake reports no error of its own.
        if (m_handshaking)
            fail(QStringLiteral("TLS handshake with %1 failed: the server closed the connection").arg(m_host));
    });
    return *m_socket;
}

void TlsMailTransport::configure(Mode mode, const QList<QSslCertificate>& extraCaCertificates)
{
    m_mode = mode;
    m_extraCaCertificates = extraCaCertificates;
}

bool TlsMailTransport::loadCertificates(const QString& pemPath, QList<QSslCertificate>* certificates, QString* error)
{
    *certificates = QSslCertificate::fromPath(pemPath, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    if (certificates->isEmpty()) {
        *error = QStringLiteral("no certificate could be read from ") + pemPath;
        return false;
    }
    return true;
}

void TlsMailTransport::connectTo(const QString& host, quint16 port)
{
    socket().abort();
    m_host = host;
    m_certificateFailure.clear();
    m_handshaking = false;
    m_closed = false;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setProtocol(QSsl::TlsV1_2OrLater);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_extraCaCertificates.isEmpty()) {
        // A configuration given CAs of its own no longer looks up the system's on demand: both are
        // listed. The system's are read once.
        static const QList<QSslCertificate> systemCas = QSslConfiguration::systemCaCertificates();
        config.setCaCertificates(systemCas + m_extraCaCertificates);
    }
    socket().setSslConfiguration(config);
    socket().setPeerVerifyName(host);
    if (m_mode == Mode::Implicit)
        socket().connectToHostEncrypted(host, port); // SNI and the name check use host
    else
        socket().connectToHost(host, port);
}

void TlsMailTransport::startTls()
{
    if (m_closed || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState || m_socket->isEncrypted()) {
        fail(QStringLiteral("TLS handshake with %1 failed: the server closed the connection").arg(m_host));
        return;
    }
    // Whatever the server sent before the handshake belongs to no reply inside it (RFC 3207 section 4.2).
    m_socket->readAll();
    m_handshaking = true;
    m_socket->startClientEncryption();
}

void TlsMailTransport::send(const QByteArray& data)
{
    if (!m_closed && !m_handshaking && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(data);
}

void TlsMailTransport::close()
{
    m_closed = true;
    m_handshaking = false;
    // Written data goes out first; an encrypted connection then says close_notify.
    if (!m_socket)
        return;
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->disconnectFromHost();
    else
        m_socket->abort();
}

MailTransport::State TlsMailTransport::state() const
{
    if (m_closed)
        return State::Closed;
    switch (m_socket->state()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        return State::Connecting;
    case QAbstractSocket::ConnectedState:
        // Implicit TLS is connected for the dialogue once the handshake is done.
        return m_mode == Mode::Implicit && !m_socket->isEncrypted() ? State::Connecting : State::Connected;
    case QAbstractSocket::ClosingState:
        return State::Closing;
    default:
        return m_socket->error() == QAbstractSocket::UnknownSocketError ? State::Closed : State::Error;
    }
}

void TlsMailTransport::onSslErrors(const QList<QSslError>& errors)
{
    // Not ignored: QSslSocket ends the handshake after this signal, and onError reports the reason.
    if (!errors.isEmpty())
        m_certificateFailure =
            QStringLiteral("certificate of %1 not trusted: %2").arg(m_host, errors.first().errorString());
}

void TlsMailTransport::onError(QAbstractSocket::SocketError error)
{
    if (m_closed)
        return;
    if (!m_certificateFailure.isEmpty())
        return fail(m_certificateFailure);
    if (error == QAbstractSocket::ConnectionRefusedError)
        return fail(refusedBy(m_host));
    if (m_handshaking || error == QAbstractSocket::SslHandshakeFailedError ||
        error == QAbstractSocket::SslInternalError) {
        return fail(QStringLiteral("TLS handshake with %1 failed: %2").arg(m_host, m_socket->errorString()));
    }
    // Other connection failures and a close mid-dialogue leave the state to the session's wait, as on plain TCP.
    qCDebug(lcTlsMail) << "socket error" << error << m_socket->errorString();
}

void TlsMailTransport::fail(const QString& reason)
{
    if (m_closed)
        return;
    m_closed = true;
    m_handshaking = false;
    m_socket->abort();
    emit failed(reason);
}
