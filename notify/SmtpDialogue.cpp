// SmtpSession, the dialogue: each state checks its reply and enters the next one.
#include "notify/SmtpSession.h"

#include "core/NotifySettings.h"
#include "notify/MailText.h"
#include "notify/Module6464.h"
#include "notify/NotificationHost.h"
#include "platform/OutsideText.h"

#include <QLoggingCategory>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcSmtp)

void SmtpSession::handleReply(const QByteArray& reply)
{
    const int code = SmtpReplyReader::replyCode(reply);
    qCDebug(lcSmtp) << m_state << "reply" << reply;
    // One line per state: the reply each one waits for and where it goes next.
    // clang-format off
    switch (m_state) {
    case State::Greeting: return onGreeting(code, reply);
    case State::Hello: return onHello(code, reply);
    case State::StartTls: return expectThen(code, reply, {220}, &SmtpSession::enterHandshake);
    case State::AuthPlain: return onAuthAnswer(code, reply);
    case State::AuthLogin: return expectThen(code, reply, {334}, &SmtpSession::enterAuthUser);
    case State::AuthUser: return expectThen(code, reply, {334}, &SmtpSession::enterAuthPassword);
    case State::AuthPassword: return onAuthAnswer(code, reply);
    case State::MailFrom: return expectThen(code, reply, {250}, &SmtpSession::enterRcptTo);
    // RFC 5321 section 3.4: 251 "user not local; will forward" accepts the recipient as 250 does.
    case State::RcptTo: return expectThen(code, reply, {250, 251}, &SmtpSession::enterData);
    case State::Data: return expectThen(code, reply, {354}, &SmtpSession::enterMessage);
    case State::Message: return expectThen(code, reply, {250}, &SmtpSession::enterQuit);
    case State::Quit: return endAfterQuit();
    default: return;
    }
    // clang-format on
}

void SmtpSession::expectThen(int code, const QByteArray& reply, std::initializer_list<int> accepted,
                             void (SmtpSession::*next)())
{
    if (std::find(accepted.begin(), accepted.end(), code) == accepted.end())
        return failStep(reply);
    (this->*next)();
}

void SmtpSession::onGreeting(int code, const QByteArray& reply)
{
    m_greeted = true;
    expectThen(code, reply, {220}, &SmtpSession::enterHello);
}

void SmtpSession::onHello(int code, const QByteArray& reply)
{
    if (code != 250)
        return failStep(reply);
    const NotifySettings& values = m_host.notifySettings();
    m_capabilities = SmtpCapabilities::parse(reply);
    if (values.security == MailSecurity::StartTls && !m_tlsStarted)
        return enterStartTls();
    MailBodyInputs in;
    in.useBody = values.useBody;
    in.bodyTemplate = values.body;
    in.internalAddress = m_host.internalAddress();
    in.externalAddress = m_host.externalAddress();
    in.externalIPv6Address = m_host.externalIPv6Address();
    in.internalIPv6Address = m_host.internalIPv6Address();
    in.ipv6Prefix = m_host.ipv6Prefix();
    in.previousIPv6Prefix = m_host.previousIPv6Prefix();
    in.now = m_clock();
    in.product = m_host.product();
    m_body = ComposeMailBody(in);
    afterHello();
}

void SmtpSession::onAuthAnswer(int code, const QByteArray& reply)
{
    if (code == 535) {
        m_errorCategory = NotificationResult::Category::Authentication;
        return fail(QStringLiteral("the server refused the user name or password"));
    }
    if (code != 235)
        return failStep(reply);
    m_host.setStatus(QStringLiteral("AUTH OK"));
    enterMailFrom();
}

void SmtpSession::enterHandshake()
{
    setState(State::Handshake);
    m_host.setStatus(QStringLiteral("Starting TLS"));
    m_reader.clear();
    m_ticks = 0;
    m_mailTimer.start();
    m_active->startTls();
}

void SmtpSession::enterAuthUser()
{
    sendCredential(State::AuthUser, QStringLiteral("Sending Encoded Username"), m_host.notifySettings().username);
}

void SmtpSession::enterAuthPassword()
{
    sendCredential(State::AuthPassword, QStringLiteral("Sending Encoded Password"), m_host.notifySettings().password);
}

void SmtpSession::sendCredential(State state, const QString& status, const QString& value)
{
    setState(state);
    m_host.setStatus(status);
    SendMailData((Base64Encode(value, 0) + QStringLiteral("\r\n")).toLatin1());
    startWait();
}

void SmtpSession::failStep(const QByteArray& reply)
{
    // The server's words, never its escape sequences: the status line reaches terminals and logs.
    showError(QStringLiteral("Error: ") + OutsideText::line(reply));
    CloseMailSockets();
    finishIdle();
}

bool SmtpSession::sendCommand(const QString& command)
{
    // A line break inside a setting would smuggle a command of its own onto the wire.
    if (command.contains(QLatin1Char('\r')) || command.contains(QLatin1Char('\n'))) {
        m_mailTimer.stop();
        m_errorCategory = NotificationResult::Category::Configuration;
        showError(QStringLiteral("Error: A mail setting holds a line break"));
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
    MailMessageExtras extras;
    extras.date = mailDateHeaderText(m_clock());
    extras.messageId = newMessageId(values.emailFrom);
    extras.eightBitMime = m_capabilities.eightBitMime;
    const auto message =
        ComposeMailMessage(m_encoding, m_body, values.emailFrom, values.emailTo, m_host.product(), extras);
    if (!message)
        return fail(QStringLiteral("the mail encoding \"%1\" is unknown (MIME or UUEncode)")
                        .arg(OutsideText::line(m_encoding)));
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
