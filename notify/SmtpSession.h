#pragma once

#include "core/NotificationResult.h"
#include "notify/PlainMailTransport.h"
#include "notify/SmtpCapabilities.h"
#include "notify/SmtpReplyReader.h"
#include "notify/TlsMailTransport.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>
#include <initializer_list>

class MailTransport;
class NotificationHost;

/// The notification mail's SMTP client (RFC 5321; STARTTLS of RFC 3207; AUTH PLAIN of RFC 4616 or
/// LOGIN, RFC 4954). A state machine advanced by the transport's signals and the one-second mail
/// timer: while it waits for a reply it does nothing at all. Every wait is bounded by 30 ticks of the
/// mail timer, the whole session by SessionLimitMs, the wait for QUIT's reply by QuitWaitMs;
/// progress and errors are written to the main window's status line, and finished() reports the outcome once.
class SmtpSession : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Idle,
        Connecting,   // connection asked for; the timer runs from here
        Greeting,     // connected; waiting for 220
        Hello,        // EHLO / HELO sent; waiting for 250
        StartTls,     // "STARTTLS" sent; waiting for 220
        Handshake,    // TLS handshake under way; EHLO follows it
        AuthPlain,    // "AUTH PLAIN" with the credentials sent; waiting for 235
        AuthLogin,    // "AUTH LOGIN" sent; waiting for 334
        AuthUser,     // user name sent; waiting for 334
        AuthPassword, // password sent; waiting for 235
        MailFrom,     // waiting for 250
        RcptTo,       // waiting for 250
        Data,         // waiting for 354
        Message,      // message sent; waiting for 250
        Quit,         // QUIT sent; waiting for its reply, QuitWaitMs at most
        Abandoned,    // the connection closed under a wait; the timer runs on to its time-out
    };
    Q_ENUM(State)

    static constexpr int TimeoutTicks = 30;
    static constexpr int QuitWaitMs = 2000;
    static constexpr int SessionLimitMs = 120000;

    explicit SmtpSession(NotificationHost& host, QObject* parent = nullptr);

    /// The SSL 2.0 channel, used when the security is "ssl2". Not owned.
    void setSecureTransport(MailTransport* transport);
    /// Where the body's date and time come from (the clock by default).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    /// The mail timer's interval; 1000 ms unless a test shortens it.
    void setTimerInterval(int ms) { m_mailTimer.setInterval(ms); }

    /// Starts a send: refused with a status text while another one is under way.
    void startMail();
    /// Opens the connection and returns; the dialogue follows on the transport's events.
    void ConnectMailServer();
    /// Closes the plain and the secure connection, whichever is open.
    void CloseMailSockets();
    /// A tick of the mail timer: progress text, and the time-out at the 30th.
    void mailTimer_Timer();
    /// Ends whatever is under way, without a status text (shutdown).
    void abort();

    State state() const { return m_state; }
    bool isBusy() const { return m_state != State::Idle; }
    int mailTimerTicks() const { return m_ticks; }
    bool isMailTimerActive() const { return m_mailTimer.isActive(); }
    PlainMailTransport& plainTransport() { return m_plain; }
    TlsMailTransport& tlsTransport() { return m_tls; }
    const SmtpReplyReader& replyReader() const { return m_reader; }

    /// The port as the setting's text gives it: blanks ignored, then the leading decimal digits; no
    /// digits, or a number beyond 65535, give 0.
    static quint16 portFromText(const QString& text);

signals:
    void stateChanged(SmtpSession::State state);
    /// The session is back to Idle, or a send was refused before it started: delivered when the server
    /// accepted the message, failed with the error shown, given up when aborted.
    void finished(const NotificationResult& result);

private:
    void setState(State state);
    void onConnected(MailTransport* from);
    void onReceived(MailTransport* from, const QByteArray& data);
    void onEncrypted(MailTransport* from);
    void onFailed(MailTransport* from, const QString& reason);
    void watch(MailTransport* transport);
    void fail(const QString& text);
    /// Shows @p text on the status line as the error this session reports.
    void showError(const QString& text);
    /// A send that ends before it started: shows @p text and reports it.
    void refuse(const QString& text);
    void timedOut();
    bool isWaiting() const;
    void startWait();
    void takeReplyIfComplete();
    void handleReply(const QByteArray& reply);
    /// Goes on with @p next when the reply's code is one of @p accepted; ends with the server's words otherwise.
    void expectThen(int code, const QByteArray& reply, std::initializer_list<int> accepted,
                    void (SmtpSession::*next)());
    void onGreeting(int code, const QByteArray& reply);
    void onHello(int code, const QByteArray& reply);
    /// The answer to the credentials (AUTH PLAIN, or AUTH LOGIN's password).
    void onAuthAnswer(int code, const QByteArray& reply);
    void failStep(const QByteArray& reply);
    void finishIdle();
    /// Sends one command line; false (and the session ended) when its text holds a line break.
    bool sendCommand(const QString& command);
    void SendMailData(const QByteArray& data);

    void enterHello();
    void afterHello();
    void enterStartTls();
    void enterHandshake();
    void enterAuthPlain();
    /// Enters @p state, shows @p status and sends @p command; the reply is then awaited.
    void enterStep(State state, const QString& status, const QString& command);
    void enterAuthLogin();
    void enterAuthUser();
    void enterAuthPassword();
    /// Enters @p state and sends @p value base64-encoded (AUTH LOGIN's user name or password).
    void sendCredential(State state, const QString& status, const QString& value);
    void enterMailFrom();
    void enterRcptTo();
    void enterData();
    void enterMessage();
    void enterQuit();
    void endAfterQuit();

    NotificationHost& m_host;
    PlainMailTransport m_plain;
    TlsMailTransport m_tls;
    MailTransport* m_secure = nullptr;
    MailTransport* m_active = nullptr;
    SmtpReplyReader m_reader;
    QTimer m_mailTimer;
    QTimer m_quitTimer;
    QTimer m_sessionTimer;
    int m_ticks = 0;
    QString m_remoteHost;
    SmtpCapabilities m_capabilities;
    bool m_tlsStarted = false;
    bool m_connected = false; // the connection of this session was made
    bool m_greeted = false;   // the server's first reply came
    bool m_sent = false;  // this session's message was accepted
    QString m_error;      // the error this session showed, reported when it ends
    NotificationResult::Category m_errorCategory = NotificationResult::Category::Transient;
    State m_state = State::Idle;
    QString m_encoding;
    QString m_body;
    std::function<QDateTime()> m_clock;
};
