#include "mqtt/MqttMessages.h"

#include "core/ProductInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QJsonValue addressOrNull(const QString& address, const char* noneText)
{
    if (address.isEmpty() || address == QLatin1String(noneText))
        return QJsonValue::Null;
    return address;
}

struct Sensor
{
    const char* object; // the key of the state message, and the object id
    const char* name;
    const char* icon;
};

constexpr Sensor Sensors[] = {
    {"internal", "Internal IP", "mdi:lan"},
    {"external", "External IP", "mdi:ip-network"},
    {"external_ipv6", "External IPv6", "mdi:ip-network-outline"},
};

constexpr qsizetype MaxTopicBytes = 65535; // a UTF-8 string's two-byte length
constexpr qsizetype ShownTopicChars = 100;
} // namespace

QString mqttTopicProblem(const QString& topic)
{
    if (topic.isEmpty())
        return QStringLiteral("empty");
    if (topic.contains(QChar(u'\0')))
        return QStringLiteral("holds a NUL character");
    if (topic.contains(u'+') || topic.contains(u'#'))
        return QStringLiteral("holds the wildcard + or #");
    if (!topic.isValidUtf16())
        return QStringLiteral("not valid Unicode");
    if (topic.toUtf8().size() > MaxTopicBytes)
        return QStringLiteral("longer than %1 bytes in UTF-8").arg(MaxTopicBytes);
    return {};
}

QString mqttShownTopic(const QString& topic)
{
    QString shown = topic.left(ShownTopicChars);
    shown.replace(QChar(u'\0'), QStringLiteral("\\0"));
    return topic.size() > ShownTopicChars ? shown + QStringLiteral("...") : shown;
}

QByteArray mqttStatePayload(const MqttAddresses& addresses)
{
    const QJsonObject state{
        {QStringLiteral("internal"), addressOrNull(addresses.internal, "0")},
        {QStringLiteral("external"), addressOrNull(addresses.external, "0")},
        {QStringLiteral("external_ipv6"), addressOrNull(addresses.externalIPv6, "none")},
        {QStringLiteral("previous_external"), addressOrNull(addresses.previousExternal, "0")},
        {QStringLiteral("time"), addresses.time.toUTC().toString(Qt::ISODate)},
    };
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

QString mqttNodeId(const QString& hostName)
{
    QString node = QStringLiteral("vistrel_");
    for (const QChar c : hostName.left(64)) {
        const bool plain =
            (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
        node += plain ? c : QChar(u'_');
    }
    return node;
}

QList<MqttMessage> mqttDiscoveryMessages(const QString& prefix, const QString& node, const QString& stateTopic,
                                         const ProductInfo& product)
{
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), product.productName + QStringLiteral(" (") + node.mid(8) + u')'},
        {QStringLiteral("manufacturer"), product.companyName},
        {QStringLiteral("model"), product.productName},
        {QStringLiteral("sw_version"), product.version()},
    };
    QList<MqttMessage> messages;
    for (const Sensor& sensor : Sensors) {
        const QString object = QLatin1String(sensor.object);
        const QJsonObject config{
            {QStringLiteral("name"), QLatin1String(sensor.name)},
            {QStringLiteral("unique_id"), node + u'_' + object},
            {QStringLiteral("state_topic"), stateTopic},
            // A null (no IPv6 address) shows as "none", as in the main window.
            {QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 or 'none' }}").arg(object)},
            {QStringLiteral("icon"), QLatin1String(sensor.icon)},
            {QStringLiteral("device"), device},
        };
        messages.append({prefix + QStringLiteral("/sensor/") + node + u'/' + object + QStringLiteral("/config"),
                         QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}
