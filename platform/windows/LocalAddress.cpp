#include "platform/LocalAddress.h"

#include <QNetworkInterface>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

namespace {

// Any global unicast address would do: no packet goes out. These are a root name server's, addresses
// that will stay routed through whatever the default route is.
const QHostAddress GlobalIPv4(QStringLiteral("198.41.0.4"));
const QHostAddress GlobalIPv6(QStringLiteral("2001:503:ba3e::2:30"));

// The adapters as the system lists them (Qt asks GetAdaptersAddresses), in the system's order.
QString firstInterfaceIPv4()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& nic : interfaces) {
        const auto flags = nic.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = nic.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                return entry.ip().toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

bool startWinsock()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

QHostAddress routeLocalAddress(const QHostAddress& destination)
{
    if (!startWinsock())
        return {};
    sockaddr_storage remote{};
    int remoteLength = 0;
    const bool v6 = destination.protocol() == QAbstractSocket::IPv6Protocol;
    if (v6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&remote);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(53);
        const Q_IPV6ADDR bytes = destination.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof(in6->sin6_addr));
        remoteLength = sizeof(sockaddr_in6);
    } else if (destination.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&remote);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(53);
        in4->sin_addr.s_addr = htonl(destination.toIPv4Address());
        remoteLength = sizeof(sockaddr_in);
    } else {
        return {};
    }
    const SOCKET s = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return {};
    QHostAddress local;
    sockaddr_storage own{};
    int ownLength = sizeof(own);
    // connect() on a UDP socket only picks the route (the default route's interface) and the source address.
    if (::connect(s, reinterpret_cast<const sockaddr*>(&remote), remoteLength) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&own), &ownLength) == 0)
        local.setAddress(reinterpret_cast<const sockaddr*>(&own));
    ::closesocket(s);
    if (local.isNull() || local.isEqual(QHostAddress::Any) || local.isEqual(QHostAddress::AnyIPv6))
        return {};
    local.setScopeId(QString());
    return local;
}

QString localIPv4Address()
{
    const QHostAddress routed = routeLocalAddress(GlobalIPv4);
    if (!routed.isNull())
        return routed.toString();
    return firstInterfaceIPv4();
}

bool hasIPv6Route()
{
    return !routeLocalAddress(GlobalIPv6).isNull();
}
