#include "platform/OutsideText.h"

#include <QChar>

namespace {
bool isLineBreak(char32_t c)
{
    // LF, VT, FF, CR, NEL and the two Unicode separators all end a line somewhere.
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

/// A line keeps at most one blank where breaks and tabs were.
void appendBlank(QString& out)
{
    if (!out.isEmpty() && !out.endsWith(QLatin1Char(' ')))
        out += QLatin1Char(' ');
}
} // namespace

bool OutsideText::isHidden(char32_t c)
{
    // Cc: C0, DEL, C1. Cf: bidi marks, embeddings, overrides and isolates, zero-width characters, the byte order
    // mark, soft hyphen, tags, interlinear annotations. The Hangul fillers are letters that show as nothing.
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format || c == 0x115F || c == 0x1160 ||
           c == 0x3164 || c == 0xFFA0;
}

QString OutsideText::clean(QStringView text, Form form, qsizetype maxChars)
{
    maxChars = std::max<qsizetype>(maxChars, 1);
    QString out;
    out.reserve(std::min(text.size(), maxChars) + 1);
    qsizetype i = 0;
    while (i < text.size() && out.size() <= maxChars) {
        char32_t c = text[i].unicode();
        ++i;
        if (QChar::isHighSurrogate(c) && i < text.size() && text[i].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[i++].unicode());
        else if (QChar::isSurrogate(c))
            c = QChar::ReplacementCharacter;
        if (isLineBreak(c)) {
            if (c == u'\r' && i < text.size() && text[i] == u'\n')
                ++i;
            if (form == Form::Block)
                out += QLatin1Char('\n');
            else if (form == Form::Line)
                appendBlank(out);
            else if (out.trimmed().isEmpty())
                out.clear(); // leading blank lines: the first line with text counts
            else
                break;
        } else if (c == u'\t') {
            if (form == Form::Block)
                out += QLatin1Char('\t');
            else
                appendBlank(out);
        } else if (!isHidden(c)) {
            out += QChar::fromUcs4(c);
        }
    }
    if (form != Form::Block)
        out = out.trimmed();
    if (out.size() <= maxChars)
        return out;
    qsizetype keep = maxChars - 1;
    if (keep > 0 && out[keep - 1].isHighSurrogate())
        --keep; // never half a character
    out.truncate(keep);
    return out + QChar(0x2026);
}

QString OutsideText::line(QByteArrayView bytes, qsizetype maxChars)
{
    return clean(QString::fromUtf8(bytes), Form::Line, maxChars);
}

QString OutsideText::line(QStringView text, qsizetype maxChars)
{
    return clean(text, Form::Line, maxChars);
}

QString OutsideText::firstLine(QByteArrayView bytes, qsizetype maxChars)
{
    return clean(QString::fromUtf8(bytes), Form::FirstLine, maxChars);
}

QString OutsideText::block(QByteArrayView bytes, qsizetype maxChars)
{
    return clean(QString::fromUtf8(bytes), Form::Block, maxChars);
}
