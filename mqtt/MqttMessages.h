#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct ProductInfo;

/// What one MQTT notification publishes about: the addresses shown now and the external one before the change.
struct MqttAddresses
{
    QString internal;
    QString external;
    QString externalIPv6;     // "none" (or empty) when there is none
    QString previousExternal; // "0" (or empty) when none was known
    QDateTime time;
};

struct MqttMessage
{
    QString topic;
    QByteArray payload;
};

/// Why @p topic cannot be published to ("empty", "holds a NUL character", "holds the wildcard + or #", "not valid
/// Unicode", "longer than 65535 bytes in UTF-8"; MQTT 3.1.1 sections 1.5.3 and 4.7); empty when it can.
QString mqttTopicProblem(const QString& topic);

/// @p topic as a status line shows it: a NUL as \0, cut after 100 characters.
QString mqttShownTopic(const QString& topic);

/// The state message: one JSON object, compact, with the keys internal, external, external_ipv6,
/// previous_external (null when unknown or none) and time (UTC, ISO 8601 with "Z").
QByteArray mqttStatePayload(const MqttAddresses& addresses);

/// The node id under which the sensors are announced: "vistrel_" and the host name, reduced to [A-Za-z0-9_-].
QString mqttNodeId(const QString& hostName);

/// Home Assistant MQTT discovery: one retained config message per address, under
/// <prefix>/sensor/<node>/<object>/config, each a sensor reading its value from the state message on @p stateTopic.
QList<MqttMessage> mqttDiscoveryMessages(const QString& prefix, const QString& node, const QString& stateTopic,
                                         const ProductInfo& product);
