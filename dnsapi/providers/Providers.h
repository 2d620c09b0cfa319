#pragma once

// What the provider files share, and the one function each defines: the table in DnsProviders.cpp makes them.
#include "dnsapi/DnsProvider.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <initializer_list>
#include <memory>
#include <string_view>
#include <utility>

/// @p object as the compact JSON a request body carries.
inline QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

/// Whether @p record is of @p target's name and type: an API that lists a whole zone keeps only those, so that a
/// large zone cannot crowd them out of the records the engine reads.
inline bool isOf(const DnsRecord& record, const DnsTarget& target)
{
    return record.name == target.name && record.type.compare(target.type, Qt::CaseInsensitive) == 0;
}

/// @p fields as the body of a form (application/x-www-form-urlencoded), each value encoded.
inline QByteArray form(std::initializer_list<std::pair<const char*, QString>> fields)
{
    QByteArrayList parts;
    for (const auto& [name, value] : fields)
        parts << QByteArray(name) + '=' + QUrl::toPercentEncoding(value);
    return parts.join('&');
}

std::unique_ptr<DnsProvider> makeCloudflare();
/// The dynamic-DNS service @p id, one of the presets in DynamicDns.cpp; nullptr for another id.
std::unique_ptr<DnsProvider> makeDynamicDns(std::string_view id);
std::unique_ptr<DnsProvider> makeGandi();
std::unique_ptr<DnsProvider> makeGoDaddy();
std::unique_ptr<DnsProvider> makeIonos();
std::unique_ptr<DnsProvider> makeDesec();
std::unique_ptr<DnsProvider> makeDynu();
std::unique_ptr<DnsProvider> makeClouDns();
std::unique_ptr<DnsProvider> makeNetcup();
std::unique_ptr<DnsProvider> makePorkbun();
std::unique_ptr<DnsProvider> makeDigitalOcean();
std::unique_ptr<DnsProvider> makeLinode();
std::unique_ptr<DnsProvider> makeVultr();
std::unique_ptr<DnsProvider> makeDNSimple();
std::unique_ptr<DnsProvider> makeHetzner();
std::unique_ptr<DnsProvider> makeHetznerCloud();
std::unique_ptr<DnsProvider> makeRoute53();
std::unique_ptr<DnsProvider> makeOvh();
std::unique_ptr<DnsProvider> makeAzure();
std::unique_ptr<DnsProvider> makeGoogleCloudDns();

/// Where a host's JSON keeps the parts of a record besides "id", "name" and "type".
struct RecordShape
{
    const char* content;      ///< the address: "content", "data", "target", "value" ...
    const char* ttl = "ttl";
    bool keepRaw = false;     ///< the record's own object goes along, for a provider that sends it back whole
};

/// Reads the records of the JSON array @p array into @p records (at most ApiText::MaxRecords in all), their names
/// made absolute within @p zone ("home", "@" and "" are relative, a full name stays). With @p only (an API that
/// lists a whole zone) only the records of its name and type are kept, so that a large zone cannot crowd them out.
/// Fails when @p array is no array, or a record kept has no usable id.
ReadResult readRecords(const QJsonValue& array, const RecordShape& shape, const QString& zone,
                       QList<DnsRecord>& records, const DnsTarget* only = nullptr);
