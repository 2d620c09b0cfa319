#pragma once

#include "nettools/RdapQuery.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <optional>

/// One of IANA's RDAP bootstrap registries (RFC 9224): services, each a list of entries (domain labels, IP
/// prefixes, or ranges of AS numbers) and the base URLs of the RDAP servers that answer for them.
class RdapBootstrap
{
public:
    static constexpr qsizetype MaxBytes = 4 * 1024 * 1024;

    /// Reads a registry. Services whose shape is wrong are skipped; nullopt and @p error when the file is no JSON
    /// object with a "services" array, or larger than MaxBytes.
    [[nodiscard]] static std::optional<RdapBootstrap> parse(const QByteArray& json, QString* error);

    /// The base URLs (ending in "/", https first) of the service whose entry matches @p query best: the longest
    /// domain suffix, the longest prefix, the range holding the number (RFC 9224 sections 4 and 5). None when no
    /// entry matches.
    QStringList serversFor(const RdapQuery& query) const;

private:
    struct Service
    {
        QStringList entries;
        QStringList urls;
    };
    QList<Service> m_services;
};
