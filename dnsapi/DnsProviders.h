#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <span>

class DnsProvider;

/// A setting a provider needs from the user, besides the zone and the names.
struct DnsProviderField
{
    const char* name;  ///< its key in the entry ("accountId") or among the secrets ("token")
    const char* label; ///< "API &token:"
    const char* hint = ""; ///< shown in the empty box
    bool secret = false;   ///< kept in the keyring, masked in every text
    bool optional = false;
};

/// One row of the provider table: what the dialog shows and asks, and how to make the provider.
struct DnsProviderInfo
{
    const char* id;    ///< stored in the entry: "cloudflare"
    const char* label; ///< "Cloudflare"
    const char* api;   ///< the API address the requests go to
    const char* docs;  ///< the API's documentation
    const char* tokenPage; ///< where the user makes the token or key
    std::span<const DnsProviderField> fields;
    bool needsZone = true;       ///< the names are in a zone the user names
    int minIntervalSeconds = 0;  ///< the host's own limit between two updates of a name; 0: none said
    std::unique_ptr<DnsProvider> (*make)();

    /// The fields of it that are secrets, by name, in their order.
    QList<QString> secretNames() const;
};

namespace DnsProviders {
std::span<const DnsProviderInfo> all();
/// The row of @p id; nullptr for an id of no provider.
const DnsProviderInfo* find(const QString& id);
} // namespace DnsProviders
