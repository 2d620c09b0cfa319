#pragma once

#include <QString>

#include <optional>

/// What the WHOIS window is asked, as an RDAP query (RFC 9082 section 3.1): a domain name, an IPv4 or IPv6 address
/// or prefix, or an autonomous system number ("AS64500" or "64500"). Other text (a handle, a person) has none and
/// goes to WHOIS.
struct RdapQuery
{
    enum class Type
    {
        Domain,
        IPv4,
        IPv6,
        Autnum,
    };

    Type type = Type::Domain;
    QString object; ///< "example.com" (lower case, A-labels), "192.0.2.7", "2001:db8::/32", "64500"

    [[nodiscard]] static std::optional<RdapQuery> fromText(const QString& text);
    /// The path under a server's base URL: "domain/example.com", "ip/192.0.2.7", "autnum/64500".
    QString path() const;
    /// The IANA bootstrap file that names the servers for this type (RFC 9224): dns.json, ipv4.json, ...
    QString bootstrapFile() const;
};
