#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <utility>

class MailTransport;

/// Drives a whole SMTP dialogue over a MailTransport, as a mail client would: greeting, EHLO (HELO
/// without authentication), AUTH LOGIN, MAIL FROM, RCPT TO, DATA, the message, QUIT. Stands in for
/// the mail session when the transport is tested alone.
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

    SmtpDialogue(MailTransport* transport, const Options& options);

    bool done() const { return m_done; }
    /// Empty on success; otherwise what went wrong.
    const QString& failure() const { return m_failure; }
    /// Every byte handed to the transport, and every byte it delivered.
    const QByteArray& sent() const { return m_sent; }
    const QByteArray& received() const { return m_received; }

private:
    void onReceived(const QByteArray& data);

    MailTransport* m_transport;
    /// Per step: the reply code expected, then what to send (nothing after the last).
    QList<std::pair<int, QByteArray>> m_script;
    QByteArray m_buffer;
    QByteArray m_sent;
    QByteArray m_received;
    bool m_done = false;
    QString m_failure;
};
