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

SmtpDialogue::SmtpDialogue(MailTransport* transport, const Options& o) : m_transport(transport)
{
    const QByteArray mailFrom = "MAIL FROM:<" + o.from + ">\r\n";
    m_script << std::pair{220, (o.auth ? "EHLO" : "HELO") + QByteArray(" client.test\r\n")};
    if (o.auth)
        m_script << std::pair{250, QByteArray("AUTH LOGIN\r\n")} << std::pair{334, o.user.toBase64() + "\r\n"}
                 << std::pair{334, o.password.toBase64() + "\r\n"} << std::pair{235, mailFrom};
    else
        m_script << std::pair{250, mailFrom};
    m_script << std::pair{250, "RCPT TO:<" + o.to + ">\r\n"} << std::pair{250, QByteArray("DATA\r\n")}
             << std::pair{354, o.message + ".\r\n"} << std::pair{250, QByteArray("QUIT\r\n")}
             << std::pair{221, QByteArray()};
    connect(m_transport, &MailTransport::received, this, &SmtpDialogue::onReceived);
}

void SmtpDialogue::onReceived(const QByteArray& data)
{
    m_received += data;
    m_buffer += data;
    if (m_done || !completeReply(m_buffer))
        return;
    const QByteArray reply = std::exchange(m_buffer, {});
    const auto [wanted, next] = m_script.takeFirst();
    if (reply.left(3).toInt() != wanted)
        m_failure = QStringLiteral("expected %1, got %2").arg(wanted).arg(QString::fromLatin1(reply));
    m_done = !m_failure.isEmpty() || m_script.isEmpty();
    if (m_done) {
        m_transport->close();
        return;
    }
    m_sent += next;
    m_transport->send(next);
}
