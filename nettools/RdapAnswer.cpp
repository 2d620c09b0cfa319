#include "nettools/RdapAnswer.h"

#include "platform/OutsideText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The deepest nesting of arrays and objects in @p json, counted without parsing it (strings skipped).
int nesting(const QByteArray& json)
{
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : json) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

QString text(const QJsonValue& value)
{
    if (value.isDouble())
        return QString::number(qint64(value.toDouble()));
    return OutsideText::line(value.toString());
}

QStringList texts(const QJsonValue& value)
{
    QStringList result;
    const QJsonArray array = value.toArray();
    for (qsizetype i = 0; i < array.size() && i < RdapAnswer::MaxItems; ++i) {
        if (const QString item = text(array.at(i)); !item.isEmpty())
            result << item;
    }
    return result;
}

// "fn" and "email" of a jCard (RFC 7095): ["vcard", [["fn", {}, "text", "Name"], ...]].
QStringList cardNames(const QJsonValue& card)
{
    QStringList result;
    for (const QJsonValue& property : card.toArray().at(1).toArray()) {
        const QJsonArray fields = property.toArray();
        const QString name = fields.at(0).toString();
        if ((name == u"fn" || name == u"email") && fields.at(3).isString())
            result << text(fields.at(3));
    }
    return result;
}

class Writer
{
public:
    QString result;

    void write(const QJsonObject& object, int indent)
    {
        const QString pad(indent * 2, u' ');
        const QString kind = text(object.value(QLatin1String("objectClassName")));
        QString name = text(object.value(QLatin1String("ldhName")));
        for (const char* key : {"unicodeName", "name"}) {
            if (name.isEmpty())
                name = text(object.value(QLatin1String(key)));
        }
        if (indent == 0)
            line(pad, kind.isEmpty() ? QStringLiteral("Object") : kind, name);
        line(pad, QStringLiteral("Handle"), text(object.value(QLatin1String("handle"))));
        const auto range = [&](const char* first, const char* last) {
            const QString from = text(object.value(QLatin1String(first))), to = text(object.value(QLatin1String(last)));
            return from.isEmpty() ? QString() : from == to || to.isEmpty() ? from : from + QStringLiteral(" – ") + to;
        };
        line(pad, QStringLiteral("Range"), range("startAddress", "endAddress"));
        line(pad, QStringLiteral("Numbers"), range("startAutnum", "endAutnum"));
        line(pad, QStringLiteral("Type"), text(object.value(QLatin1String("type"))));
        line(pad, QStringLiteral("Country"), text(object.value(QLatin1String("country"))));
        line(pad, QStringLiteral("Parent"), text(object.value(QLatin1String("parentHandle"))));
        line(pad, QStringLiteral("Status"), texts(object.value(QLatin1String("status"))).join(QStringLiteral(", ")));
        for (const QJsonValue& event : limited(object.value(QLatin1String("events")))) {
            line(pad, QStringLiteral("Event ") + text(event[QLatin1String("eventAction")]),
                 text(event[QLatin1String("eventDate")]));
        }
        QStringList servers;
        for (const QJsonValue& server : limited(object.value(QLatin1String("nameservers"))))
            servers << text(server[QLatin1String("ldhName")]);
        line(pad, QStringLiteral("Name servers"), servers.join(QStringLiteral(", ")));
        for (const QJsonValue& entity : limited(object.value(QLatin1String("entities")))) {
            const QJsonObject e = entity.toObject();
            QStringList names = cardNames(e.value(QLatin1String("vcardArray")));
            if (const QString handle = text(e.value(QLatin1String("handle"))); !handle.isEmpty())
                names.prepend(handle);
            const QString roles = texts(e.value(QLatin1String("roles"))).join(QStringLiteral(", "));
            line(pad, QStringLiteral("Entity (%1)").arg(roles.isEmpty() ? QStringLiteral("no role") : roles),
                 names.join(QStringLiteral(", ")));
            if (indent < 3)
                write(e, indent + 1); // what it says of itself: its events, remarks, entities
        }
        for (const char* list : {"remarks", "notices"}) {
            for (const QJsonValue& remark : limited(object.value(QLatin1String(list)))) {
                const QString title = text(remark[QLatin1String("title")]);
                line(pad, list[0] == 'r' ? QStringLiteral("Remark") : QStringLiteral("Notice"),
                     title + (title.isEmpty() ? QString() : QStringLiteral(": ")) +
                         texts(remark[QLatin1String("description")]).join(u' '));
            }
        }
    }

private:
    static QJsonArray limited(const QJsonValue& value)
    {
        QJsonArray array = value.toArray();
        while (array.size() > RdapAnswer::MaxItems)
            array.removeLast();
        return array;
    }

    void line(const QString& pad, const QString& label, const QString& value)
    {
        if (!value.isEmpty())
            result += pad + label + QStringLiteral(": ") + value + u'\n';
    }
};

} // namespace

std::optional<QString> RdapAnswer::read(const QByteArray& body, QString* error)
{
    if (body.size() > MaxBytes) {
        *error = QStringLiteral("the answer is larger than %1 bytes").arg(MaxBytes);
        return std::nullopt;
    }
    if (nesting(body) > MaxDepth) {
        *error = QStringLiteral("the answer is nested deeper than %1 levels").arg(MaxDepth);
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (!document.isObject()) {
        *error = parseError.error != QJsonParseError::NoError
                     ? QStringLiteral("the answer is not JSON: ") + parseError.errorString()
                     : QStringLiteral("the answer is not a JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    if (!object.value(QLatin1String("objectClassName")).isString()) {
        *error = QStringLiteral("the answer names no object class");
        return std::nullopt;
    }
    Writer writer;
    writer.write(object, 0);
    return writer.result;
}
