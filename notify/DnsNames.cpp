#include "notify/DnsNames.h"

#include "notify/KindNotifier.h"
#include "platform/Ipv6Addresses.h"

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
        else if (name.seen)
            object.insert(QStringLiteral("ipv6"), QStringLiteral("seen"));
        if (!name.iid.isEmpty())
            object.insert(QStringLiteral("iid"), name.iid);
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
        const QJsonValue ipv6 = object.value(QLatin1String("ipv6"));
        name.ipv6 = ipv6.toBool(true);
        name.seen = ipv6.toString() == QLatin1String("seen");
        if (ipv6.isString() && !name.seen && ipv6.toString() != QLatin1String("stable")) {
            *error = QStringLiteral("%1: \"ipv6\" is \"stable\" or \"seen\"").arg(name.name);
            return std::nullopt;
        }
        name.iid = object.value(QLatin1String("iid")).toString().left(MaxNameChars).trimmed();
        if (!name.iid.isEmpty() && !Ipv6Addressing::interfaceIdentifier(name.iid)) {
            *error =
                QStringLiteral("%1: the interface identifier is neither like ::10 nor a MAC address").arg(name.name);
            return std::nullopt;
        }
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
        if (!name.ipv4 || !name.ipv6 || name.seen || !name.iid.isEmpty() || name.ttl > 0 || !name.flags.isEmpty())
            return QString::fromUtf8(QJsonDocument(toJson(names)).toJson(QJsonDocument::Compact));
        plain << name.name;
    }
    return plain.join(QLatin1String(", "));
}

QString ipv6Address(const DnsHostName& name, const NoticeAddresses& addresses)
{
    const auto ipv6 = [](const QString& text) {
        const QHostAddress address(text);
        return address.protocol() == QAbstractSocket::IPv6Protocol ? address.toString() : QString();
    };
    if (!name.ipv6)
        return QString();
    if (!name.iid.isEmpty()) {
        const QHostAddress host = Ipv6Addressing::withInterfaceIdentifier(addresses.prefix6, name.iid);
        return host.isNull() ? QString() : host.toString();
    }
    const QString own = ipv6(addresses.internal6);
    return name.seen || own.isEmpty() ? ipv6(addresses.external6) : own;
}
} // namespace DnsNames
