#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

struct NoticeAddresses;

#include <optional>

/// One name a DNS entry keeps pointing at the addresses.
struct DnsHostName
{
    QString name;      ///< as the user wrote it: "home", "home.example.com" or "@" (the zone itself)
    bool ipv4 = true;  ///< its A record follows the external IPv4 address
    bool ipv6 = true;  ///< it has an AAAA record, where there is an IPv6 address (see ipv6Address)
    bool seen = false; ///< the AAAA record is the address the sources see instead of this machine's stable one
    QString iid;       ///< another host's interface identifier ("::10", a MAC address): its AAAA record is the prefix
                       ///< with it
    int ttl = 0;       ///< of a record created; 0: the entry's default
    QJsonObject flags; ///< a DNS host's own ("proxied": false ...), sent as they are

    bool operator==(const DnsHostName&) const = default;
};

/// The list of names of a DNS-host entry or of the DNS update, as stored: a JSON array of objects
/// ([{"name": "home", "ipv6": false, "ttl": 600}], defaults left out), or, as people type them, the names apart by
/// commas or white space ("home.example.com, www.example.com"). Which IPv6 address a name gets: {"ipv6": "seen"}
/// for the address the sources see, {"iid": "::10"} for another host in this machine's prefix; this machine's stable
/// address otherwise.
namespace DnsNames {
constexpr int MaxNames = 20;

QJsonArray toJson(const QList<DnsHostName>& names);
/// Nothing, with @p error saying why, for a list that is damaged or longer than MaxNames.
std::optional<QList<DnsHostName>> fromJson(const QJsonArray& array, QString* error);
/// @p text in either form; an empty text is an empty list.
std::optional<QList<DnsHostName>> parse(const QString& text, QString* error);
/// @p name in one form: lower case, without the final dot.
QString plain(QString name);
/// @p name ("home", "@", or already "home.example.com") within @p zone, fully qualified, in lower case and without
/// the final dot.
QString absolute(const QString& name, const QString& zone);
/// The names in the form people type, where none has more than its name to say; else the JSON array.
QString text(const QList<DnsHostName>& names);
/// The address of @p name's AAAA record: this machine's stable address (the address the sources see where the
/// machine has none of its own), the address the sources see, or the prefix with the name's interface identifier;
/// "" for none.
QString ipv6Address(const DnsHostName& name, const NoticeAddresses& addresses);
} // namespace DnsNames
