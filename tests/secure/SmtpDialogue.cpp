#include "SmtpDialogue.h"

#include "notify/MailTransport.h"

namespace {
// A reply is complete when its last line has a blank after the code (RFC 5321 section 4.2).
bool completeReply(const QByteArray& buffer)
{
    if (!buffer.endsWith("\r\n"))
        return false;
    const qsizetype start = buffer.lastIndexOf("\r\n", buffer.size() - 3);
    const QByteArray last = buffer.mid(start < 0 ? 0 : start + 2);
    return last.size() >= 4 && last.at(3) == ' ';
}
} // namespace

SmtpDialogue::SmtpDialogue(MailTransport* transport, Options options)
    : m_transport(transport), m_options(std::move(options))
{
    connect(m_transport, &MailTransport::received, this, &SmtpDialogue::onReceived);
}

void SmtpDialogue::onReceived(const QByteArray& data)
{
    ++m_deliveries;
    m_received += data;
    m_buffer += data;
    if (!completeReply(m_buffer))
        return;
    const QByteArray reply = m_buffer;
    m_buffer.clear();
    handleReply(reply);
}

void SmtpDialogue::send(const QByteArray& bytes)
{
    m_sent += bytes;
    m_transport->send(bytes);
}

void SmtpDialogue::fail(const QString& why)
{
    m_failure = why;
    m_done = true;
    m_step = Step::Done;
    m_transport->close();
}

void SmtpDialogue::handleReply(const QByteArray& reply)
{
    const int code = reply.left(3).toInt();
    auto expect = [&](int wanted) {
        if (code == wanted)
            return true;
        fail(QStringLiteral("expected %1, got %2").arg(wanted).arg(QString::fromLatin1(reply)));
        return false;
    };
    switch (m_step) {
    case Step::Greeting:
        if (expect(220)) {
            m_step = Step::Hello;
            send((m_options.auth ? "EHLO" : "HELO") + QByteArray(" client.test\r\n"));
        }
        break;
    case Step::Hello:
        if (expect(250)) {
            m_step = m_options.auth ? Step::AuthLogin : Step::MailFrom;
            send(m_options.auth ? QByteArray("AUTH LOGIN\r\n") : "MAIL FROM:<" + m_options.from + ">\r\n");
        }
        break;
    case Step::AuthLogin:
        if (expect(334)) {
            m_step = Step::AuthUser;
            send(m_options.user.toBase64() + "\r\n");
        }
        break;
    case Step::AuthUser:
        if (expect(334)) {
            m_step = Step::AuthPassword;
            send(m_options.password.toBase64() + "\r\n");
        }
        break;
    case Step::AuthPassword:
        if (expect(235)) {
            m_step = Step::MailFrom;
            send("MAIL FROM:<" + m_options.from + ">\r\n");
        }
        break;
    case Step::MailFrom:
        if (expect(250)) {
            m_step = Step::RcptTo;
            send("RCPT TO:<" + m_options.to + ">\r\n");
        }
        break;
    case Step::RcptTo:
        if (expect(250)) {
            m_step = Step::Data;
            send("DATA\r\n");
        }
        break;
    case Step::Data:
        if (expect(354)) {
            m_step = Step::Message;
            send(m_options.message + ".\r\n");
        }
        break;
    case Step::Message:
        if (expect(250)) {
            m_step = Step::Quit;
            send("QUIT\r\n");
        }
        break;
    case Step::Quit:
        if (expect(221)) {
            m_step = Step::Done;
            m_done = true;
            m_transport->close();
        }
        break;
    case Step::Done:
        break;
    }
}
