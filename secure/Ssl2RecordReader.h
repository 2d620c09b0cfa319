#pragma once

#include <QByteArray>

/// Cuts the bytes received on the secure socket into SSL 2.0 records with two-byte headers. Bytes
/// of a record that has not fully arrived stay buffered until the rest comes, however the stream
/// is split.
class Ssl2RecordReader
{
public:
    enum class Result
    {
        Record,   ///< a whole record body was taken
        NeedMore, ///< no whole record is buffered yet
        Malformed ///< the header is not a two-byte header; the stream cannot be framed further
    };

    /// Largest body of a record with a two-byte header.
    static constexpr int MaxBody = 0x7FFF;

    void append(const QByteArray& bytes) { m_buffer.append(bytes); }
    /// Takes the next complete record body out of the buffer.
    Result next(QByteArray* body);
    void clear();
    qsizetype buffered() const { return m_buffer.size(); }

    /// Body length from a two-byte header: (first byte without its top bit) * 256 + second byte.
    static int GetRecordLength(unsigned char first, unsigned char second) { return (first & 0x7F) * 256 + second; }
    /// @p body (at most MaxBody bytes) with its two-byte header in front.
    static QByteArray AddRecordHeader(const QByteArray& body);

private:
    QByteArray m_buffer;
    int m_recordLength = -1; ///< body length of the record being waited for; -1 before its header
};
