#include "notify/SmtpReplyReader.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A line "ddd-..." announces more lines of the same reply (RFC 5321 section 4.2.1).
bool isContinuationLine(QByteArrayView line)
{
    return line.size() >= 4 && isDigit(line[0]) && isDigit(line[1]) && isDigit(line[2]) && line[3] == '-';
}

} // namespace

void SmtpReplyReader::append(QByteArrayView data)
{
    if (data.isEmpty())
        return;
    const qsizetype room = MaxReplyBytes - m_buffer.size();
    if (room <= 0)
        return;
    m_buffer.append(data.first(std::min(room, data.size())));
    updateComplete();
}

void SmtpReplyReader::updateComplete()
{
    if (m_buffer.size() >= MaxReplyBytes) {
        m_complete = true;
        return;
    }
    if (!m_buffer.endsWith("\r\n")) {
        m_complete = false;
        return;
    }
    const QByteArrayView text(m_buffer.constData(), m_buffer.size() - 2);
    const qsizetype lastBreak = text.lastIndexOf('\n');
    const QByteArrayView lastLine = lastBreak < 0 ? text : text.sliced(lastBreak + 1);
    m_complete = !isContinuationLine(lastLine);
}

QByteArray SmtpReplyReader::take()
{
    QByteArray reply;
    reply.swap(m_buffer);
    m_complete = false;
    return reply;
}

void SmtpReplyReader::clear()
{
    m_buffer.clear();
    m_complete = false;
}

int SmtpReplyReader::replyCode(QByteArrayView reply)
{
    int code = 0;
    for (qsizetype i = 0; i < reply.size() && i < 9; ++i) {
        const char c = reply[i];
        if (!isDigit(c))
            break;
        code = code * 10 + (c - '0');
    }
    return code;
}
