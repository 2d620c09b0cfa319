#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

class MailTransport;

/// Drives a whole SMTP dialogue over a MailTransport, as a mail client would: greeting, EHLO (HELO
/// without authentication), AUTH LOGIN, MAIL FROM, RCPT TO, DATA, the message, QUIT. Stands in for
/// the mail session when the transport is tested alone; the tests of the session reuse the peer.
class SmtpDialogue : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        bool auth = true;
        QByteArray user = "vistrel";
        QByteArray password = "secret";
        QByteArray from = "ip@example.test";
        QByteArray to = "owner@example.test";
        QByteArray message; ///< the mail text, lines ending in CR LF; the end-of-data line is added
    };

    SmtpDialogue(MailTransport* transport, Options options);

    bool done() const { return m_done; }
    /// Empty on success; otherwise what went wrong.
    const QString& failure() const { return m_failure; }
    /// Every byte handed to the transport, and every byte it delivered.
    const QByteArray& sent() const { return m_sent; }
    const QByteArray& received() const { return m_received; }
    /// Number of received() signals.
    int deliveries() const { return m_deliveries; }

private:
    enum class Step
    {
        Greeting,
        Hello,
        AuthLogin,
        AuthUser,
        AuthPassword,
        MailFrom,
        RcptTo,
        Data,
        Message,
        Quit,
        Done,
    };
    void onReceived(const QByteArray& data);
    void handleReply(const QByteArray& reply);
    void send(const QByteArray& line);
    void fail(const QString& why);

    MailTransport* m_transport;
    Options m_options;
    Step m_step = Step::Greeting;
    QByteArray m_buffer;
    QByteArray m_sent;
    QByteArray m_received;
    int m_deliveries = 0;
    bool m_done = false;
    QString m_failure;
};
