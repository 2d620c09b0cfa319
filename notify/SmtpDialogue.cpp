// SmtpSession, the dialogue: each state checks its reply and enters the next one.
#include "notify/SmtpSession.h"

#include "app/NotifySettings.h"
#include "notify/MailText.h"
#include "notify/Module6464.h"
#include "notify/NotificationHost.h"
#include "platform/OutsideText.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSmtp)

void SmtpSession::handleReply(const QByteArray& reply)
{
    const int code = SmtpReplyReader::replyCode(reply);
    qCDebug(lcSmtp) << m_state << "reply" << reply;
    const NotifySettings& values = m_host.notifySettings();
    switch (m_state) {
    case State::Greeting:
        m_greeted = true;
        if (code != 220)
            return failStep(reply);
        return enterHello();
    case State::Hello: {
        if (code != 250)
            return failStep(reply);
        m_capabilities = SmtpCapabilities::parse(reply);
        if (values.security == MailSecurity::StartTls && !m_tlsStarted)
            return enterStartTls();
        MailBodyInputs in;
        in.useBody = values.useBody;
        in.bodyTemplate = values.body;
        in.internalAddress = m_host.internalAddress();
        in.externalAddress = m_host.externalAddress();
        in.externalIPv6Address = m_host.externalIPv6Address();
        in.now = m_clock();
        in.product = m_host.product();
        m_body = ComposeMailBody(in);
        return afterHello();
    }
    case State::StartTls:
        if (code != 220)
            return failStep(reply);
        setState(State::Handshake);
        m_host.setStatus(QStringLiteral("Starting TLS"));
        m_reader.clear();
        m_ticks = 0;
        m_mailTimer.start();
        return m_active->startTls();
    case State::AuthPlain:
        if (code == 535)
            return fail(QStringLiteral("the server refused the user name or password"));
        if (code != 235)
            return failStep(reply);
        m_host.setStatus(QStringLiteral("AUTH OK"));
        return enterMailFrom();
    case State::AuthLogin:
        if (code != 334)
            return failStep(reply);
        setState(State::AuthUser);
        m_host.setStatus(QStringLiteral("Sending Encoded Username"));
        SendMailData((Base64Encode(values.username, 0) + QStringLiteral("\r\n")).toLatin1());
        return startWait();
    case State::AuthUser:
        if (code != 334)
            return failStep(reply);
        setState(State::AuthPassword);
        m_host.setStatus(QStringLiteral("Sending Encoded Password"));
        SendMailData((Base64Encode(values.password, 0) + QStringLiteral("\r\n")).toLatin1());
        return startWait();
    case State::AuthPassword:
        if (code == 535)
            return fail(QStringLiteral("the server refused the user name or password"));
        if (code != 235)
            return failStep(reply);
        m_host.setStatus(QStringLiteral("AUTH OK"));
        return enterMailFrom();
    case State::MailFrom:
        if (code != 250)
            return failStep(reply);
        return enterRcptTo();
    case State::RcptTo:
        // RFC 5321 section 3.4: 251 "user not local; will forward" accepts the recipient as 250 does.
        if (code != 250 && code != 251)
            return failStep(reply);
        return enterData();
    case State::Data:
        if (code != 354)
            return failStep(reply);
        return enterMessage();
    case State::Message:
        if (code != 250)
            return failStep(reply);
        return enterQuit();
    case State::Quit:
        return endAfterQuit();
    default:
        return;
    }
}

void SmtpSession::failStep(const QByteArray& reply)
{
    // The server's words, never its escape sequences: the status line reaches terminals and logs.
    m_host.setStatus(QStringLiteral("Error: ") + OutsideText::line(reply));
    CloseMailSockets();
    finishIdle();
}

bool SmtpSession::sendCommand(const QString& command)
{
    // A line break inside a setting would smuggle a command of its own onto the wire.
    if (command.contains(QLatin1Char('\r')) || command.contains(QLatin1Char('\n'))) {
        m_mailTimer.stop();
        m_host.setStatus(QStringLiteral("Error: A mail setting holds a line break"));
        CloseMailSockets();
        finishIdle();
        return false;
    }
    SendMailData(command.toUtf8() + "\r\n");
    return true;
}

void SmtpSession::SendMailData(const QByteArray& data)
{
    // The log never holds a credential: AUTH PLAIN's argument and AUTH LOGIN's user and password lines are masked
    // (base64 is no disguise), and a message is logged by its size only.
    if (m_state == State::AuthUser || m_state == State::AuthPassword)
        qCDebug(lcSmtp) << "sent ***";
    else if (data.startsWith("AUTH PLAIN "))
        qCDebug(lcSmtp) << "sent AUTH PLAIN ***";
    else if (m_state == State::Message)
        qCDebug(lcSmtp) << "sent the message," << data.size() << "bytes";
    else
        qCDebug(lcSmtp) << "sent" << data.trimmed();
    if (m_active)
        m_active->send(data);
}

void SmtpSession::enterHello()
{
    setState(State::Hello);
    m_host.setStatus(QStringLiteral("Receiving Welcome Message"));
    const NotifySettings& values = m_host.notifySettings();
    // The offers (STARTTLS, AUTH, 8BITMIME) come only in EHLO's reply.
    const bool extended =
        values.useAuth || values.security == MailSecurity::StartTls || values.security == MailSecurity::Tls;
    const QString verb = extended ? QStringLiteral("EHLO ") : QStringLiteral("HELO ");
    if (sendCommand(verb + SocketControl::localHostName()))
        startWait();
}

void SmtpSession::afterHello()
{
    const NotifySettings& values = m_host.notifySettings();
    if (!values.useAuth)
        return enterMailFrom();
    // Credentials go over plain text only when the user chose no security at all.
    if (values.security != MailSecurity::None && !m_active->isEncrypted())
        return fail(QStringLiteral("the connection to ") + values.server +
                    QStringLiteral(" is not encrypted; the password was not sent"));
    return m_capabilities.authPlain ? enterAuthPlain() : enterAuthLogin();
}

void SmtpSession::enterStartTls()
{
    if (!m_capabilities.startTls) {
        // Never on in plain text: the session ends here, nothing more sent.
        m_mailTimer.stop();
        return fail(QStringLiteral("server does not offer STARTTLS"));
    }
    enterStep(State::StartTls, QStringLiteral("Requesting TLS"), QStringLiteral("STARTTLS"));
}

void SmtpSession::enterAuthPlain()
{
    setState(State::AuthPlain);
    m_host.setStatus(QStringLiteral("Requesting Authentication"));
    const NotifySettings& values = m_host.notifySettings();
    // RFC 4616: authorisation identity (empty), NUL, user name, NUL, password.
    const QByteArray credentials = '\0' + values.username.toUtf8() + '\0' + values.password.toUtf8();
    SendMailData("AUTH PLAIN " + credentials.toBase64() + "\r\n");
    startWait();
}

void SmtpSession::enterStep(State state, const QString& status, const QString& command)
{
    setState(state);
    m_host.setStatus(status);
    if (sendCommand(command))
        startWait();
}

void SmtpSession::enterAuthLogin()
{
    enterStep(State::AuthLogin, QStringLiteral("Requesting Authentication"), QStringLiteral("AUTH LOGIN"));
}

void SmtpSession::enterMailFrom()
{
    // RFC 6152 section 3: a message sent as 8bit is announced on MAIL FROM.
    const QString body =
        mailBodyIsEightBit(m_body, m_capabilities.eightBitMime) ? QStringLiteral(" BODY=8BITMIME") : QString();
    enterStep(State::MailFrom, QStringLiteral("Sending Mail FROM"),
              QStringLiteral("MAIL FROM:<") + m_host.notifySettings().emailFrom + QLatin1Char('>') + body);
}

void SmtpSession::enterRcptTo()
{
    enterStep(State::RcptTo, QStringLiteral("Sending Mail TO"),
              QStringLiteral("RCPT TO:<") + m_host.notifySettings().emailTo + QLatin1Char('>'));
}

void SmtpSession::enterData()
{
    enterStep(State::Data, QStringLiteral("Sending Email Data"), QStringLiteral("DATA"));
}

void SmtpSession::enterMessage()
{
    setState(State::Message);
    m_host.setStatus(QStringLiteral("Sending Mail . . ."));
    const NotifySettings& values = m_host.notifySettings();
    // An encoding that names neither format sends nothing; the wait then ends by the time-out.
    MailMessageExtras extras;
    extras.date = mailDateHeaderText(m_clock());
    extras.messageId = newMessageId(values.emailFrom);
    extras.eightBitMime = m_capabilities.eightBitMime;
    if (const auto message =
            ComposeMailMessage(m_encoding, m_body, values.emailFrom, values.emailTo, m_host.product(), extras))
        SendMailData(message->toUtf8());
    startWait();
}

void SmtpSession::enterQuit()
{
    m_host.setStatus(QStringLiteral("Message Sent"));
    // The connection closes once the server has answered QUIT (or has had QuitWaitMs to do so).
    setState(State::Quit);
    m_mailTimer.stop();
    m_quitTimer.start();
    SendMailData("QUIT\r\n");
    takeReplyIfComplete();
}

void SmtpSession::endAfterQuit()
{
    if (m_state != State::Quit)
        return;
    CloseMailSockets();
    finishIdle();
}
