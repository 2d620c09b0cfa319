#include "secure/Ssl2RecordReader.h"

Ssl2RecordReader::Result Ssl2RecordReader::next(QByteArray* body)
{
    if (m_recordLength < 0) {
        if (m_buffer.size() < 2)
            return Result::NeedMore;
        const auto first = static_cast<unsigned char>(m_buffer.at(0));
        // A clear top bit announces a three-byte header with padding, which no RC4 server sends.
        if (!(first & 0x80))
            return Result::Malformed;
        m_recordLength = GetRecordLength(first, static_cast<unsigned char>(m_buffer.at(1)));
        m_buffer.remove(0, 2);
    }
    if (m_buffer.size() < m_recordLength)
        return Result::NeedMore;
    *body = m_buffer.left(m_recordLength);
    m_buffer.remove(0, m_recordLength);
    m_recordLength = -1;
    return Result::Record;
}

void Ssl2RecordReader::clear()
{
    m_buffer.clear();
    m_recordLength = -1;
}

QByteArray Ssl2RecordReader::AddRecordHeader(const QByteArray& body)
{
    Q_ASSERT(body.size() <= MaxBody);
    QByteArray record;
    record.reserve(body.size() + 2);
    record.append(char(0x80 | (body.size() >> 8)));
    record.append(char(body.size() & 0xFF));
    record.append(body);
    return record;
}
