#pragma once

#include "core/SettingsKeys.h"
#include "notify/WebRequest.h"

#include <QString>

#include <optional>

class NotificationHost;
class PasswordStore;
class Settings;
struct WebPreset;

/// The web requests beyond the first as the settings hold them: entry n (1 to 8) is the key webRequest<n + 1>, its
/// secret webSecret<n + 1> (where no keyring keeps it) and the address its last update set in webLastSet.
namespace WebEntries {
constexpr int First = 1; // entry 0 is the URL of old (strURL)
constexpr int Last = 8;

Key requestKey(int entry);
Key secretKey(int entry);
/// The name of entry @p entry's secret in the keyring: "web request 2 secret" ...
QString keyringKey(int entry);
/// The entry whose secret's settings key is @p key; nothing for another key.
std::optional<int> entryOfSecret(Key key);
/// Where entry @p entry's secret is kept (host.secretStore of its key); none for the first URL, or in the settings.
PasswordStore* secretStore(NotificationHost& host, int entry);

/// When entry @p entry (0: the first URL) goes, and the URL of a failed lookup's ping.
Key sendsKey(int entry);
Key failUrlKey(int entry);
WebSends sends(const Settings& settings, int entry);
/// The URL entry @p entry pings after a lookup that ended @p ok, its own URL being @p url: @p url, the failure's
/// URL, or "" when it does not ping then.
QString pingUrl(const Settings& settings, int entry, const QString& url, bool ok);

/// Stores when entry @p entry goes and its failed lookup's URL; as @p preset has them.
void setSends(Settings& settings, int entry, WebSends sends, const QString& failUrl);
void setSends(Settings& settings, int entry, const WebPreset& preset);

/// Entry @p entry; nothing when its key is empty, or, with @p error saying why, when it is damaged.
std::optional<WebRequest> load(const Settings& settings, int entry, QString* error);
void save(Settings& settings, int entry, const WebRequest& request);

/// webLastSet is `<entry number>=<address>` items, ';' between (`2=203.0.113.7;5=198.51.100.4`); an item of
/// another form is ignored.
QString lastSet(const Settings& settings, int entry);
void setLastSet(Settings& settings, int entry, const QString& address);
} // namespace WebEntries
