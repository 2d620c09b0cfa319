#include "dnsapi/DnsApiAnswer.h"

#include "platform/OutsideText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

namespace {
constexpr qsizetype MaxTextChars = 120; // of a message, a name, a content shown

QString cleanText(const QJsonValue& value)
{
    return value.isString() ? OutsideText::line(QStringView(value.toString()), MaxTextChars) : QString();
}

bool isPlainId(const QString& id)
{
    if (id.isEmpty() || id.size() > DnsApiAnswer::MaxIdChars)
        return false;
    for (const QChar c : id) {
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-' || c == u'_'))
            return false;
    }
    return true;
}

DnsApiAnswer::Entry entryOf(const QJsonObject& object)
{
    const QString id = object.value(QLatin1String("id")).toString();
    return {isPlainId(id) ? id : QString(), cleanText(object.value(QLatin1String("name"))),
            cleanText(object.value(QLatin1String("type"))), cleanText(object.value(QLatin1String("content")))};
}
} // namespace

DnsApiAnswer DnsApiAnswer::read(QByteArrayView body)
{
    DnsApiAnswer answer;
    if (body.size() > MaxBodyBytes)
        return answer;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return answer;
    answer.json = true;
    const QJsonObject top = document.object();
    answer.success = top.value(QLatin1String("success")).toBool(false);
    const QJsonArray errors = top.value(QLatin1String("errors")).toArray();
    for (qsizetype i = 0; i < errors.size() && i < MaxEntries; ++i) {
        const QJsonObject item = errors.at(i).toObject();
        const QJsonValue code = item.value(QLatin1String("code"));
        answer.errors.append({code.isDouble() ? code.toInteger() : 0, cleanText(item.value(QLatin1String("message")))});
    }
    const QJsonValue result = top.value(QLatin1String("result"));
    if (result.isObject()) {
        answer.result.append(entryOf(result.toObject()));
    } else {
        const QJsonArray entries = result.toArray();
        for (qsizetype i = 0; i < entries.size() && i < MaxEntries; ++i) {
            if (entries.at(i).isObject())
                answer.result.append(entryOf(entries.at(i).toObject()));
        }
    }
    return answer;
}

QString DnsApiAnswer::errorText() const
{
    QStringList parts;
    for (const Error& error : errors) {
        const QString message = error.message.isEmpty() ? QStringLiteral("no message") : error.message;
        parts << (error.code ? QStringLiteral("code %1: %2").arg(error.code).arg(message) : message);
    }
    return parts.join(QLatin1String("; "));
}
