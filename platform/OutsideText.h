#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

/// Text that came from outside (a server's reply, an answer body, a name from the network), made safe to show in a
/// window or write to a log: bytes are read as UTF-8 (invalid sequences become U+FFFD, never Latin-1); control
/// characters (C0, DEL, C1), bidirectional embeddings, overrides, isolates and marks, and the other invisible
/// format characters are dropped, so nothing can move the cursor, retitle a terminal or hide text; the result is
/// bounded, a cut one ending in "…".
struct OutsideText
{
    /// What a status line shows of one outside text.
    static constexpr qsizetype LineChars = 200;

    enum class Form
    {
        Line,      // one line: each line break (and tab) becomes one blank; trimmed
        FirstLine, // the first line that holds any text; trimmed
        Block,     // line breaks kept as LF (CR LF and lone CR too), tabs kept
    };

    /// @p bytes as one line of at most @p maxChars characters.
    static QString line(QByteArrayView bytes, qsizetype maxChars = LineChars);
    static QString line(QStringView text, qsizetype maxChars = LineChars);
    /// The first line of @p bytes with text, at most @p maxChars characters.
    static QString firstLine(QByteArrayView bytes, qsizetype maxChars = LineChars);
    /// @p bytes with its line breaks, at most @p maxChars characters in all.
    static QString block(QByteArrayView bytes, qsizetype maxChars);

    /// @p text (lone surrogates count as invalid) cleaned into @p form, at most @p maxChars (at least 1).
    static QString clean(QStringView text, Form form, qsizetype maxChars);
    /// Whether code point @p c is dropped wherever it stands (line breaks and tab are not).
    static bool isHidden(char32_t c);
};
