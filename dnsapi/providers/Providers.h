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
