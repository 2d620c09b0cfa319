#pragma once

#include "core/SettingsKeys.h"
#include "notify/DnsNames.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

class Settings;

/// One DNS-host entry: a provider, where the names are, the names, the switch. Its secret is kept apart (the keyring,
/// or the settings file where there is none).
struct DnsHostEntry
{
    QString provider; ///< the id of a DnsProviders row: "cloudflare", "porkbun" ...
    QString label;    ///< the user's name for it; empty: the provider's
    bool on = false;  ///< updated on a change
    QString zone;     ///< the domain the names are in: "example.com"
    QMap<QString, QString> fields; ///< the provider's other settings that are no secret (an account id, a region)
    QList<DnsHostName> names;
    QString api; ///< the API address; empty: the provider's own

    bool operator==(const DnsHostEntry&) const = default;
};

/// The DNS-host entries as the settings keep them. Entry 0 is the one of old, in the keys dnsApiZone, dnsApiRecord,
/// dnsApiToken, dnsApiTtl, dnsApiBaseUrl (always Cloudflare, switched by cloudflareNotify; its list of names, where
/// it has more than one, in dnsApiNames); entries 1 to 8 are the keys dnsHost1 to dnsHost8, one JSON object each, their secrets
/// dnsHostSecret1 to dnsHostSecret8, and what each last set is kept in dnsHostLastSet.
namespace DnsHostEntries {
constexpr int First = 0;
constexpr int Last = 8;
constexpr int MaxNames = DnsNames::MaxNames; ///< of one entry

Key entryKey(int entry); ///< for entries 1 to 8
Key secretKey(int entry);
/// The entry (1 to 8) whose secret's settings key is @p key; nothing for another key.
std::optional<int> entryOfSecret(Key key);
/// The name of entry @p entry's secret in the keyring: "DNS API token", "DNS host 2 secret" ...
QString keyringKey(int entry);

/// Entry @p entry; nothing when it is empty, or, with @p error saying why, when it is damaged.
std::optional<DnsHostEntry> load(const Settings& settings, int entry, QString* error);
/// Stores @p value as entry @p entry; false with @p error when the settings file could not take it.
[[nodiscard]] bool save(Settings& settings, int entry, const DnsHostEntry& value, QString* error);
/// Empties entry @p entry (its secret stays until the user clears it).
void remove(Settings& settings, int entry);

/// What entry @p entry's last success set (see DnsHostNotifier::setting).
QString lastSet(const Settings& settings, int entry);
void setLastSet(Settings& settings, int entry, const QString& remembered);

/// The entry as JSON, and back: what dnsHost<n> holds. A name's flags stay as they were written.
QJsonObject toJson(const DnsHostEntry& entry);
std::optional<DnsHostEntry> fromJson(const QJsonObject& object, QString* error);
} // namespace DnsHostEntries
