#pragma once

#include <QByteArray>
#include <QString>

/// The bytes a WHOIS server sends, collected up to a limit, and the text shown for them.
class WhoisAnswer
{
public:
    /// Bytes kept at most; what comes after is dropped and noted under the shown text.
    static constexpr qsizetype DefaultLimit = 1024 * 1024;

    explicit WhoisAnswer(qsizetype limit = DefaultLimit) : m_limit(limit < 0 ? 0 : limit) {}

    /// Appends @p bytes as far as the limit allows.
    void append(const QByteArray& bytes);
    void clear();

    const QByteArray& bytes() const { return m_bytes; }
    /// True once bytes beyond the limit were dropped.
    bool isCut() const { return m_cut; }
    qsizetype limit() const { return m_limit; }

    /// The answer as text (OutsideText's block): UTF-8, invalid bytes as U+FFFD; line ends CR LF and lone CR
    /// become LF; control, bidi and other hidden characters but tab and line feed are dropped. A cut answer ends
    /// with a note saying so.
    QString text() const;

    /// The shown text for @p bytes alone (no note).
    static QString decode(const QByteArray& bytes);
    static QString cutNote(qsizetype limit);
    /// The server an answer sends the question on to: IANA's "refer: whois.example", or ARIN's "ReferralServer:
    /// whois://whois.example:43" (host or host:port); "" when it names none.
    static QString referral(const QString& text);

private:
    qsizetype m_limit;
    QByteArray m_bytes;
    bool m_cut = false;
};
