#include "notify/SmtpSession.h"

#include "core/NotifySettings.h"
#include "core/Settings.h"
#include "notify/NotificationHost.h"

#include <QLoggingCategory>

#include <utility>

Q_LOGGING_CATEGORY(lcSmtp, "vistrel.notify.smtp", QtInfoMsg)

SmtpSession::SmtpSession(NotificationHost& host, QObject* parent)
    : QObject(parent), m_host(host), m_clock([] { return QDateTime::currentDateTime(); })
{
    m_mailTimer.setObjectName(QStringLiteral("mailTimer"));
    m_mailTimer.setInterval(1000);
    connect(&m_mailTimer, &QTimer::timeout, this, &SmtpSession::mailTimer_Timer);
    m_quitTimer.setSingleShot(true);
    m_quitTimer.setInterval(QuitWaitMs);
    connect(&m_quitTimer, &QTimer::timeout, this, &SmtpSession::endAfterQuit);
    m_sessionTimer.setSingleShot(true);
    m_sessionTimer.setInterval(SessionLimitMs);
    connect(&m_sessionTimer, &QTimer::timeout, this, [this] {
        if (isBusy())
            timedOut();
    });
    watch(&m_plain);
    watch(&m_tls);
}

void SmtpSession::watch(MailTransport* transport)
{
    connect(transport, &MailTransport::connected, this, [this, transport] { onConnected(transport); });
    connect(transport, &MailTransport::received, this,
            [this, transport](const QByteArray& data) { onReceived(transport, data); });
    connect(transport, &MailTransport::encrypted, this, [this, transport] { onEncrypted(transport); });
    connect(transport, &MailTransport::failed, this,
            [this, transport](const QString& reason) { onFailed(transport, reason); });
}

void SmtpSession::setSecureTransport(MailTransport* transport)
{
    if (m_secure)
        disconnect(m_secure, nullptr, this, nullptr);
    m_secure = transport;
    if (!transport)
        return;
    watch(transport);
    connect(transport, &QObject::destroyed, this, [this, transport] {
        if (m_secure == transport)
            m_secure = nullptr;
        if (m_active == transport)
            m_active = nullptr;
    });
}

void SmtpSession::setState(State state)
{
    if (state == m_state)
        return;
    qCDebug(lcSmtp) << "state" << m_state << "->" << state;
    m_state = state;
    if (state == State::Quit)
        m_sent = true;  // the server took the message; QUIT's answer no longer matters
    emit stateChanged(state);
    if (state == State::Idle) {
        const QString error = std::exchange(m_error, {});
        NotificationResult result = std::exchange(m_sent, false) ? NotificationResult::delivered(QStringLiteral("Message Sent"))
                                    : error.isEmpty()            ? NotificationResult::givenUp()
                                                                 : NotificationResult::failed(error);
        result.category = std::exchange(m_errorCategory, NotificationResult::Category::Transient);
        emit finished(result);
    }
}

quint16 SmtpSession::portFromText(const QString& text)
{
    quint32 port = 0;
    bool digits = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t'))
            continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        digits = true;
        port = port * 10 + quint32(c.unicode() - '0');
        if (port > 65535)
            return 0;
    }
    return digits ? quint16(port) : 0;
}

// ---------------------------------------------------------------------------------------------
// Starting and ending

void SmtpSession::startMail()
{
    ConnectMailServer();
}

void SmtpSession::ConnectMailServer()
{
    if (isBusy()) {
        // The running session keeps its connection, its timer and its buffer.
        m_host.setStatus(QStringLiteral("Error: A notification mail is already being sent"));
        return;
    }
    const NotifySettings& values = m_host.notifySettings();
    m_error.clear();
    m_host.setStatus(QStringLiteral("Connecting..."));
    if (values.server.trimmed().isEmpty())
        return refuse(QStringLiteral("Error: Mail: no mail server is set"));
    if (values.security == MailSecurity::Ssl2 && !m_secure)
        return refuse(QStringLiteral("Error: SSL encryption is not available in this build"));
    const bool tls = values.security == MailSecurity::StartTls || values.security == MailSecurity::Tls;
    if (tls) {
        QList<QSslCertificate> trusted;
        QString error;
        if (!values.trustedCertificates.isEmpty() &&
            !TlsMailTransport::loadCertificates(values.trustedCertificates, &trusted, &error))
            return refuse(QStringLiteral("Error: ") + error);
        m_tls.configure(values.security == MailSecurity::Tls ? TlsMailTransport::Mode::Implicit
                                                             : TlsMailTransport::Mode::StartTls,
                        trusted);
    }
    // Bytes and offers of an earlier connection never belong to this one.
    m_reader.clear();
    m_capabilities = {};
    m_tlsStarted = false;
    m_connected = false;
    m_greeted = false;
    m_remoteHost = values.server;
    m_ticks = 0;
    m_mailTimer.start();
    m_sessionTimer.start();
    const quint16 port = portFromText(values.port);
    setState(State::Connecting);
    const QString target = QStringLiteral("Connecting to ") + values.server + QLatin1Char(':') + values.port;
    switch (values.security) {
    case MailSecurity::Ssl2:
        m_host.setStatus(target + QStringLiteral(" using SSL v.2"));
        m_active = m_secure;
        break;
    case MailSecurity::StartTls:
        m_host.setStatus(target + QStringLiteral(" using STARTTLS"));
        m_active = &m_tls;
        break;
    case MailSecurity::Tls:
        m_host.setStatus(target + QStringLiteral(" using TLS"));
        m_active = &m_tls;
        break;
    case MailSecurity::None:
        m_active = &m_plain;
        break;
    }
    m_active->connectTo(values.server, port);
}

void SmtpSession::CloseMailSockets()
{
    if (m_plain.state() != MailTransport::State::Closed)
        m_plain.close();
    if (m_tls.state() != MailTransport::State::Closed)
        m_tls.close();
    if (m_secure && m_secure->state() != MailTransport::State::Closed)
        m_secure->close();
}

void SmtpSession::abort()
{
    m_mailTimer.stop();
    m_quitTimer.stop();
    m_sessionTimer.stop();
    CloseMailSockets();
    finishIdle();
}

void SmtpSession::finishIdle()
{
    m_mailTimer.stop();
    m_quitTimer.stop();
    m_sessionTimer.stop();
    m_active = nullptr;
    m_body.clear();
    setState(State::Idle);
}

void SmtpSession::mailTimer_Timer()
{
    if (isWaiting() && m_active && m_active->state() == MailTransport::State::Closed)
        setState(State::Abandoned);
    m_host.setStatus(QStringLiteral("Connecting to Mail Server ") + m_remoteHost + QStringLiteral("... (") +
                     QString::number(m_ticks) + QLatin1Char(')'));
    ++m_ticks;
    if (m_ticks >= TimeoutTicks)
        timedOut();
}

void SmtpSession::timedOut()
{
    CloseMailSockets();
    const QString& server = m_host.notifySettings().server;
    // A server that took the connection and then said nothing is not one that could not be reached, nor is one
    // that agreed to STARTTLS and never finished the handshake.
    QString text = QStringLiteral("Error: Could not connect to ") + server + QStringLiteral(" - timed out");
    if (m_state == State::Handshake)
        text = QStringLiteral("Error: TLS handshake with ") + server + QStringLiteral(" did not finish - timed out");
    else if (m_connected && !m_greeted)
        text = QStringLiteral("Error: Connected to ") + server + QStringLiteral(", but no greeting came - timed out");
    showError(text);
    finishIdle();
}

void SmtpSession::fail(const QString& text)
{
    showError(QStringLiteral("Error: ") + text);
    CloseMailSockets();
    finishIdle();
}

void SmtpSession::showError(const QString& text)
{
    m_error = text;
    m_host.setStatus(text);
}

void SmtpSession::refuse(const QString& text)
{
    m_host.setStatus(text);
    emit finished(NotificationResult::misconfigured(text));
}

// ---------------------------------------------------------------------------------------------
// Transport events

void SmtpSession::onConnected(MailTransport* from)
{
    if (from != m_active || m_state != State::Connecting)
        return;
    // The dialogue starts: the greeting's wait goes on with the ticks counted since the connect.
    m_encoding = m_host.settings().read(Key::MailEncoding);
    setState(State::Greeting);
    m_connected = true;
    m_host.setStatus(QStringLiteral("Connected"));
    takeReplyIfComplete();
}

void SmtpSession::onReceived(MailTransport* from, const QByteArray& data)
{
    if (from != m_active)
        return;
    m_reader.append(data);
    if (isWaiting())
        takeReplyIfComplete();
}

void SmtpSession::onEncrypted(MailTransport* from)
{
    if (from != m_active || m_state != State::Handshake)
        return;
    // Nothing read before the handshake may count as a reply inside it.
    m_reader.clear();
    m_capabilities = {};
    m_tlsStarted = true;
    enterHello();
}

void SmtpSession::onFailed(MailTransport* from, const QString& reason)
{
    if (from != m_active || !isBusy())
        return;
    fail(reason.section(QStringLiteral("\r\n"), 0, 0)); // a long explanation's first line
}

bool SmtpSession::isWaiting() const
{
    return m_state >= State::Greeting && m_state <= State::Quit && m_state != State::Handshake;
}

void SmtpSession::startWait()
{
    m_ticks = 0;
    m_mailTimer.start();
    takeReplyIfComplete();
}

void SmtpSession::takeReplyIfComplete()
{
    if (!isWaiting())
        return;
    if (!m_reader.isComplete()) {
        if (m_active && m_active->state() == MailTransport::State::Closed) {
            if (m_state == State::Quit)
                return endAfterQuit();
            setState(State::Abandoned);  // no text: the timer runs on to its time-out
        }
        return;
    }
    m_mailTimer.stop();
    handleReply(m_reader.take());
}
