#pragma once

// What the provider files share, and the one function each defines: the table in DnsProviders.cpp makes them.
#include "dnsapi/DnsProvider.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

/// @p object as the compact JSON a request body carries.
inline QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::unique_ptr<DnsProvider> makeCloudflare();
std::unique_ptr<DnsProvider> makeRoute53();
std::unique_ptr<DnsProvider> makeOvh();
