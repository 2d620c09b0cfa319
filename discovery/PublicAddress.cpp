#include "discovery/PublicAddress.h"

#include <QList>
#include <QPair>

#include <optional>

namespace {

using Subnets = QList<QPair<QHostAddress, int>>;

Subnets parse(std::initializer_list<const char*> subnets)
{
    Subnets parsed;
    for (const char* subnet : subnets)
        parsed.append(QHostAddress::parseSubnet(QString::fromLatin1(subnet)));
    return parsed;
}

bool inAny(const QHostAddress& address, const Subnets& subnets)
{
    for (const auto& subnet : subnets) {
        if (address.isInSubnet(subnet))
            return true;
    }
    return false;
}

// The IANA IPv4 Special-Purpose Address Registry (RFC 6890 and its updates) without the documentation
// ranges, with multicast and the reserved 240/4 (which holds the limited broadcast address).
bool isPublicIPv4(quint32 v4)
{
    static const Subnets notPublic = parse({"0.0.0.0/8", "10.0.0.0/8", "100.64.0.0/10", "127.0.0.0/8",
                                            "169.254.0.0/16", "172.16.0.0/12", "192.0.0.0/24", "192.31.196.0/24",
                                            "192.52.193.0/24", "192.88.99.0/24", "192.168.0.0/16", "192.175.48.0/24",
                                            "198.18.0.0/15", "224.0.0.0/4", "240.0.0.0/4"});
    return !inAny(QHostAddress(v4), notPublic);
}

// The IPv4 address inside a NAT64 (RFC 6052 section 2.2, the /96 form) or 6to4 (RFC 3056 section 2) address.
std::optional<quint32> wrappedIPv4(const QHostAddress& address)
{
    static const Subnets nat64 = parse({"64:ff9b::/96", "64:ff9b:1::/48"});
    static const QPair<QHostAddress, int> sixToFour = QHostAddress::parseSubnet(QStringLiteral("2002::/16"));
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    const auto fromBytes = [&bytes](int at) {
        return quint32(bytes[at]) << 24 | quint32(bytes[at + 1]) << 16 | quint32(bytes[at + 2]) << 8 | bytes[at + 3];
    };
    if (inAny(address, nat64))
        return fromBytes(12);
    if (address.isInSubnet(sixToFour))
        return fromBytes(2);
    return std::nullopt;
}

// The IANA IPv6 Special-Purpose Address Registry without the documentation ranges, with IPv4-compatible
// ::/96, site-local fec0::/10 and multicast.
bool isPublicIPv6(const QHostAddress& address)
{
    static const Subnets notPublic =
        parse({"::/96", "100::/64", "100:0:0:1::/64", "2001::/23", "2620:4f:8000::/48", "5f00::/16", "fc00::/7",
               "fe80::/10", "fec0::/10", "ff00::/8"});
    return !inAny(address, notPublic);
}

} // namespace

bool isPublicAddress(const QHostAddress& address)
{
    if (address.isNull())
        return false;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also unwraps ::ffff:a.b.c.d
    if (isV4)
        return isPublicIPv4(v4);
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    if (const std::optional<quint32> wrapped = wrappedIPv4(address))
        return isPublicIPv4(*wrapped);
    return isPublicIPv6(address);
}
