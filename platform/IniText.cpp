#include "platform/IniText.h"

#include <QStringDecoder>

#include <string_view>

namespace {

const QByteArray ByteOrderMark = "\xEF\xBB\xBF";

bool isBlankOrComment(QStringView trimmed)
{
    return trimmed.isEmpty() || trimmed.front() == u';' || trimmed.front() == u'#';
}

bool sameName(const QString& a, const QString& b)
{
    return !a.isNull() && a.compare(b, Qt::CaseInsensitive) == 0;
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'7')
        return u - u'0';
    if (base == 8)
        return -1;
    if (u == u'8' || u == u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A code point from an escape; what is no character becomes U+FFFD.
void appendCodePoint(QString& out, char32_t value)
{
    if (value <= 0xFFFF)
        out += QChar(char16_t(value));
    else if (value <= 0x10FFFF)
        out += QString::fromUcs4(&value, 1);
    else
        out += QChar::ReplacementCharacter;
}

// Decodes the escapes QSettings wrote, up to the first '"' that no backslash escapes (or the end of @p text),
// whose position goes to @p stop.
QString unescape(QStringView text, qsizetype* stop)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size() && text[i] != u'"') {
        const QChar c = text[i++];
        if (c != u'\\' || i == text.size()) {
            out += c;
            continue;
        }
        const QChar e = text[i++];
        // The one-letter escapes of C, each standing for its control character.
        static constexpr std::u16string_view Letters = u"abfnrtv";
        static constexpr std::u16string_view Controls = u"\a\b\f\n\r\t\v";
        if (const size_t letter = Letters.find(e.unicode()); letter != std::u16string_view::npos) {
            out += QChar(Controls[letter]);
            continue;
        }
        switch (e.unicode()) {
        case u'x':
        case u'0':
        case u'1':
        case u'2':
        case u'3':
        case u'4':
        case u'5':
        case u'6':
        case u'7': {
            const int base = e == u'x' ? 16 : 8;
            char32_t value = base == 8 ? e.unicode() - u'0' : 0;
            // Every digit that follows belongs to the escape (QSettings escapes a digit after one).
            for (int d; i < text.size() && value <= 0x10FFFF && (d = digitValue(text[i], base)) >= 0; ++i)
                value = value * base + d;
            appendCodePoint(out, value);
            break;
        }
        default: // \\ \" \' \? and what no escape means: the character itself
            out += e;
        }
    }
    *stop = i;
    return out;
}

// Whether an unquoted @p text is in QSettings' escaped form: only there is a backslash in it an escape.
bool looksEscaped(QStringView text)
{
    if (!text.contains(u'\\'))
        return false;
    static const QString Escapes = QStringLiteral("\\\"'?abfnrtvx01234567");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u';' || c == u',' || c == u'=' || c == u'"')
            return false; // QSettings quoted such a value, and escaped every quote
        if (c != u'\\')
            continue;
        if (i + 1 == text.size() || !Escapes.contains(text[i + 1]))
            return false;
        if (text[i + 1] == u'x' && (i + 2 == text.size() || digitValue(text[i + 2], 16) < 0))
            return false;
        ++i;
    }
    return true;
}

// A control character, or half of a surrogate pair without its other half (no UTF-8 can hold it): written as \xHHHH.
bool needsHexEscape(const QString& text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate())
        return i + 1 == text.size() || !text[i + 1].isLowSurrogate();
    if (c.isLowSurrogate())
        return i == 0 || !text[i - 1].isHighSurrogate();
    return c.category() == QChar::Other_Control;
}

QString withoutDoubledAt(QString value)
{
    if (value.startsWith(QLatin1String("@@")))
        value.remove(0, 1);
    return value;
}

} // namespace

std::optional<IniText> IniText::parse(const QByteArray& bytes, QString* error)
{
    const auto fail = [error](const QString& reason) -> std::optional<IniText> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (bytes.size() > MaxBytes)
        return fail(QStringLiteral("it is larger than 1 MiB"));
    if (bytes.contains('\0'))
        return fail(QStringLiteral("it holds binary data (a NUL byte)"));
    QStringDecoder decoder(QStringConverter::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return fail(QStringLiteral("it is not UTF-8 text"));

    IniText result;
    result.m_byteOrderMark = bytes.startsWith(ByteOrderMark);
    QList<QStringView> lines = QStringView(text).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the line feed that ends the last line
    result.m_lines.reserve(lines.size());
    QString section;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        Line line = classify(lines[n].toString(), section);
        if (section.isNull() && !line.header && !isBlankOrComment(QStringView(line.raw).trimmed()))
            return fail(
                QStringLiteral("it is no settings file (line %1 comes before any [section] header)").arg(n + 1));
        section = line.section;
        result.m_lines.append(std::move(line));
    }
    return result;
}

IniText::Line IniText::classify(const QString& raw, const QString& section)
{
    Line line{raw, section, {}, {}};
    const QStringView text = QStringView(raw).trimmed();
    if (isBlankOrComment(text))
        return line;
    if (text.size() >= 3 && text.front() == u'[' && text.back() == u']' && !text[1].isSpace()) {
        line.section = text.sliced(1, text.size() - 2).toString();
        line.header = true;
        return line;
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals > 0) {
        line.key = text.first(equals).trimmed().toString();
        line.value = decodeValue(text.sliced(equals + 1));
    }
    return line;
}

QByteArray IniText::toBytes() const
{
    QString text;
    for (const Line& line : m_lines)
        text += line.raw + u'\n';
    return (m_byteOrderMark ? ByteOrderMark : QByteArray()) + text.toUtf8();
}

qsizetype IniText::find(const QString& section, const QString& key) const
{
    for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
        if (sameName(m_lines[i].key, key) && sameName(m_lines[i].section, section))
            return i;
    }
    return -1;
}

std::optional<QString> IniText::value(const QString& section, const QString& key) const
{
    const qsizetype i = find(section, key);
    if (i < 0)
        return std::nullopt;
    return m_lines[i].value;
}

void IniText::setValue(const QString& section, const QString& key, const QString& value)
{
    const QString encoded = encodeValue(value);
    if (const qsizetype i = find(section, key); i >= 0) {
        // The key as spelled and the blanks around '=' stay; so does a carriage return that ends the line.
        Line& line = m_lines[i];
        qsizetype start = line.raw.indexOf(u'=') + 1;
        while (start < line.raw.size() && (line.raw[start] == u' ' || line.raw[start] == u'\t'))
            ++start;
        const bool carriageReturn = line.raw.endsWith(u'\r');
        line.raw = line.raw.left(start) + encoded + (carriageReturn ? QStringLiteral("\r") : QString());
        line.value = value;
        return;
    }
    qsizetype last = -1; // the section's last line that is not blank or a comment
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (sameName(m_lines[i].section, section) && !isBlankOrComment(QStringView(m_lines[i].raw).trimmed()))
            last = i;
    }
    if (last >= 0) {
        const QString& spelling = m_lines[last].section;
        m_lines.insert(last + 1, Line{key + u'=' + encoded, spelling, key, value});
        return;
    }
    if (!m_lines.isEmpty() && !QStringView(m_lines.last().raw).trimmed().isEmpty())
        m_lines.append(Line{QString(), m_lines.last().section, {}, {}});
    m_lines.append(Line{u'[' + section + u']', section, {}, {}, true});
    m_lines.append(Line{key + u'=' + encoded, section, key, value});
}

QString IniText::decodeValue(QStringView raw)
{
    const QStringView text = raw.trimmed();
    qsizetype stop = 0;
    if (text.size() >= 2 && text.front() == u'"') {
        QString quoted = unescape(text.sliced(1), &stop);
        if (stop == text.size() - 2) // the closing quote ends the value
            return withoutDoubledAt(std::move(quoted));
        return text.toString(); // "a b" "c d" is a program's two quoted arguments, as written
    }
    if (looksEscaped(text))
        return withoutDoubledAt(unescape(text, &stop));
    return withoutDoubledAt(text.toString());
}

QString IniText::encodeValue(const QString& value)
{
    // QSettings read "@@" as "@"; the earlier versions read what this one writes the same way.
    const QString text = value.startsWith(QLatin1String("@@")) ? u'@' + value : value;
    bool quote = !text.isEmpty() && (text.front().isSpace() || text.back().isSpace() || text.front() == u'"');
    for (qsizetype i = 0; i < text.size() && !quote; ++i)
        quote = needsHexEscape(text, i);
    if (!quote && !looksEscaped(text))
        return text;
    QString out = QStringLiteral("\"");
    bool escapeHexDigit = false; // after \xHH a hex digit would be read as part of it
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (escapeHexDigit && digitValue(c, 16) >= 0) {
            out += QStringLiteral("\\x") + QString::number(c.unicode(), 16);
            continue;
        }
        escapeHexDigit = false;
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'"':
            out += QStringLiteral("\\\"");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (needsHexEscape(text, i)) {
                out += QStringLiteral("\\x") + QString::number(c.unicode(), 16);
                escapeHexDigit = true;
            } else {
                out += c;
            }
        }
    }
    return out + u'"';
}
