#pragma once

#include <QByteArray>
#include <QByteArrayView>

/// Frames the bytes a mail server sends into replies (RFC 5321 section 4.2). The bytes collect in the
/// reply buffer; the reply is complete once the buffer ends with CR LF and its last line is not a
/// continuation line ("250-..."), so a multi-line reply that arrives in pieces is still taken whole.
/// A buffer that grows past MaxReplyBytes without completing is cut there and counts as complete.
class SmtpReplyReader
{
public:
    static constexpr qsizetype MaxReplyBytes = 64 * 1024;

    /// Adds received bytes to the reply buffer.
    void append(QByteArrayView data);
    /// ReplyComplete: a whole reply is in the buffer.
    bool isComplete() const { return m_complete; }
    /// Takes the whole buffer as the reply and empties it.
    QByteArray take();
    /// Drops whatever is buffered.
    void clear();
    const QByteArray& buffer() const { return m_buffer; }

    /// The reply code: the leading decimal digits of the first word (up to the first blank); 0 when
    /// there are none. Digits beyond the ninth are not counted.
    static int replyCode(QByteArrayView reply);

private:
    void updateComplete();

    QByteArray m_buffer;
    bool m_complete = false;
};
