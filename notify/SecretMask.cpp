#include "notify/SecretMask.h"

#include <QStringList>

namespace {
const QString Mask = QStringLiteral("***");
// A shorter piece of Base64 turns up in ordinary text by chance; the secret's own forms are always masked.
constexpr qsizetype MinBase64Chars = 6;

/// A hex digit as a character class that takes either case.
QString hexDigit(int value)
{
    const QChar upper = QLatin1Char("0123456789ABCDEF"[value]);
    return upper.isDigit() ? QString(upper) : QStringLiteral("[%1%2]").arg(upper, upper.toLower());
}

QString hex(uint value, int digits)
{
    QString out;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += hexDigit(int((value >> shift) & 0xF));
    return out;
}

/// Every way code point @p c may stand in a URL, a form or a JSON string (RFC 3986 section 2.1, the
/// application/x-www-form-urlencoded rules, RFC 8259 section 7).
QString characterForms(char32_t c)
{
    const QString plain = QString::fromUcs4(&c, 1);
    QStringList forms{QRegularExpression::escape(plain)};
    QString percent;
    for (const char byte : plain.toUtf8())
        percent += u'%' + hex(uchar(byte), 2);
    forms << percent;
    if (c == u' ')
        forms << QStringLiteral("\\+");
    QString json;
    for (const QChar unit : plain)
        json += QStringLiteral("\\\\u") + hex(unit.unicode(), 4);
    forms << json;
    static const QList<std::pair<char32_t, const char*>> shortEscapes{
        {u'"', "\\\\\""}, {u'\\', "\\\\\\\\"}, {u'/', "\\\\/"},  {u'\b', "\\\\b"},
        {u'\f', "\\\\f"}, {u'\n', "\\\\n"},    {u'\r', "\\\\r"}, {u'\t', "\\\\t"}};
    for (const auto& [escaped, form] : shortEscapes) {
        if (escaped == c)
            forms << QLatin1String(form);
    }
    return QStringLiteral("(?:") + forms.join(u'|') + u')';
}

/// The part of the Base64 of @p bytes that stays the same wherever they stand in a longer text: encoded after
/// @p offset other bytes, without the characters that also hold bits of the bytes around.
QString stableBase64(const QByteArray& bytes, int offset)
{
    const QByteArray padded = QByteArray(offset, '\0') + bytes;
    QString encoded = QString::fromLatin1(padded.toBase64(QByteArray::OmitTrailingEquals));
    if (padded.size() % 3 != 0)
        encoded.chop(1);
    return encoded.mid(offset == 0 ? 0 : offset + 1);
}
} // namespace

void SecretMask::add(const QString& secret)
{
    if (secret.isEmpty())
        return;
    QString pattern;
    const QList<uint> points = secret.toUcs4();
    for (const uint c : points)
        pattern += characterForms(char32_t(c));
    m_patterns.append(QRegularExpression(pattern));
    addBase64(secret.toUtf8());
}

void SecretMask::addBase64(const QByteArray& bytes)
{
    QStringList forms;
    for (int offset = 0; offset < 3; ++offset) {
        const QString form = stableBase64(bytes, offset);
        if (form.size() < MinBase64Chars)
            continue;
        forms << QRegularExpression::escape(form);
        QString urlSafe = form;
        urlSafe.replace(u'+', u'-').replace(u'/', u'_');
        if (urlSafe != form)
            forms << QRegularExpression::escape(urlSafe);
    }
    if (!forms.isEmpty())
        m_patterns.append(QRegularExpression(forms.join(u'|')));
}

QString SecretMask::apply(QString text) const
{
    for (const QRegularExpression& pattern : m_patterns)
        text.replace(pattern, Mask);
    return text;
}

QByteArray SecretMask::apply(const QByteArray& bytes) const
{
    return isEmpty() ? bytes : apply(QString::fromUtf8(bytes)).toUtf8();
}
