#include "dnsapi/ApiText.h"

#include "notify/DnsNames.h"
#include "platform/OutsideText.h"

namespace ApiText {
QJsonDocument json(const QByteArray& body)
{
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(body, &error);
    return error.error == QJsonParseError::NoError ? document : QJsonDocument();
}

QString shown(const QJsonValue& value)
{
    if (value.isDouble())
        return QString::number(value.toInteger());
    return value.isString() ? OutsideText::line(QStringView(value.toString()), 120) : QString();
}

QString id(const QJsonValue& value)
{
    const QString text = value.isDouble() ? QString::number(value.toInteger()) : value.toString();
    if (text.isEmpty() || text.size() > MaxIdChars)
        return {};
    for (const QChar c : text) {
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-' || c == u'_' ||
              c == u'.' || c == u':'))
            return {};
    }
    return text;
}

QString name(QString name)
{
    return DnsNames::plain(std::move(name));
}

QString absolute(const QString& relative, const QString& zone)
{
    return DnsNames::absolute(relative, zone);
}

QString relative(const QString& name, const QString& zone)
{
    const QString full = ApiText::name(name);
    const QString apex = ApiText::name(zone);
    if (full == apex)
        return QStringLiteral("@");
    if (!apex.isEmpty() && full.endsWith(u'.' + apex))
        return full.left(full.size() - apex.size() - 1);
    return full;
}

QString xmlEscaped(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'&', QLatin1String("&amp;"));
    escaped.replace(u'<', QLatin1String("&lt;"));
    escaped.replace(u'>', QLatin1String("&gt;"));
    escaped.replace(u'"', QLatin1String("&quot;"));
    escaped.replace(u'\'', QLatin1String("&apos;"));
    return escaped;
}

QString xmlElement(const QByteArray& xml, const char* element, qsizetype from, qsizetype* end)
{
    const QByteArray open = QByteArray("<") + element;
    const QByteArray close = QByteArray("</") + element + '>';
    qsizetype start = xml.indexOf(open, from);
    // "<Value" must not find "<ValueList": the tag's name ends at '>', white space or '/'.
    while (start >= 0) {
        const qsizetype after = start + open.size();
        if (after < xml.size() && (xml[after] == '>' || xml[after] == ' ' || xml[after] == '/'))
            break;
        start = xml.indexOf(open, after);
    }
    if (start < 0)
        return {};
    const qsizetype contentStart = xml.indexOf('>', start);
    if (contentStart < 0 || xml[contentStart - 1] == '/')
        return {};
    const qsizetype contentEnd = xml.indexOf(close, contentStart);
    if (contentEnd < 0)
        return {};
    if (end)
        *end = contentEnd + close.size();
    QString text = QString::fromUtf8(xml.mid(contentStart + 1, contentEnd - contentStart - 1));
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return OutsideText::line(QStringView(text), 253);
}
} // namespace ApiText
