#include "notify/DnsNames.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace {
constexpr qsizetype MaxNameChars = 253; // a DNS name's longest
constexpr qsizetype MaxTextBytes = 64 * 1024;
constexpr int MaxTtl = 604800;
} // namespace

namespace DnsNames {
QJsonArray toJson(const QList<DnsHostName>& names)
{
    QJsonArray array;
    for (const DnsHostName& name : names) {
        QJsonObject object{{QStringLiteral("name"), name.name}};
        if (!name.ipv4)
            object.insert(QStringLiteral("ipv4"), false);
        if (!name.ipv6)
            object.insert(QStringLiteral("ipv6"), false);
        if (name.ttl > 0)
            object.insert(QStringLiteral("ttl"), name.ttl);
        if (!name.flags.isEmpty())
            object.insert(QStringLiteral("flags"), name.flags);
        array.append(object);
    }
    return array;
}

std::optional<QList<DnsHostName>> fromJson(const QJsonArray& array, QString* error)
{
    if (array.size() > MaxNames) {
        *error = QStringLiteral("more than %1 names").arg(MaxNames);
        return std::nullopt;
    }
    QList<DnsHostName> names;
    for (const QJsonValue& value : array) {
        const QJsonObject object = value.toObject();
        DnsHostName name;
        name.name = object.value(QLatin1String("name")).toString().left(MaxNameChars).trimmed();
        if (name.name.isEmpty()) {
            *error = QStringLiteral("a name in the list is empty");
            return std::nullopt;
        }
        name.ipv4 = object.value(QLatin1String("ipv4")).toBool(true);
        name.ipv6 = object.value(QLatin1String("ipv6")).toBool(true);
        const int ttl = object.value(QLatin1String("ttl")).toInt(0);
        name.ttl = ttl >= 0 && ttl <= MaxTtl ? ttl : 0;
        name.flags = object.value(QLatin1String("flags")).toObject();
        names.append(std::move(name));
    }
    return names;
}

std::optional<QList<DnsHostName>> parse(const QString& text, QString* error)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'[')) {
        const QJsonDocument document = QJsonDocument::fromJson(trimmed.left(MaxTextBytes).toUtf8());
        if (!document.isArray()) {
            *error = QStringLiteral("the list of names is no JSON array");
            return std::nullopt;
        }
        return fromJson(document.array(), error);
    }
    static const QRegularExpression apart(QStringLiteral("[,\\s]+"));
    QJsonArray array;
    for (const QString& name : trimmed.split(apart, Qt::SkipEmptyParts))
        array.append(QJsonObject{{QStringLiteral("name"), name}});
    return fromJson(array, error);
}

QString plain(QString name)
{
    name = name.trimmed().toLower();
    while (name.endsWith(u'.'))
        name.chop(1);
    return name;
}

QString absolute(const QString& name, const QString& zone)
{
    const QString own = plain(name);
    const QString apex = plain(zone);
    if (own == QLatin1String("@") || own.isEmpty())
        return apex;
    if (apex.isEmpty() || own == apex || own.endsWith(u'.' + apex))
        return own;
    return own + u'.' + apex;
}

QString text(const QList<DnsHostName>& names)
{
    QStringList plain;
    for (const DnsHostName& name : names) {
        if (!name.ipv4 || !name.ipv6 || name.ttl > 0 || !name.flags.isEmpty())
            return QString::fromUtf8(QJsonDocument(toJson(names)).toJson(QJsonDocument::Compact));
        plain << name.name;
    }
    return plain.join(QLatin1String(", "));
}
} // namespace DnsNames
