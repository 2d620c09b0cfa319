#include "platform/SystemSockets.h"

// The system's SocketApi.h (platform/<system>/, put on the include path for this file alone by CMake): its socket
// headers and the few names in which the systems differ.
#include "SocketApi.h"

#include <cstring>

namespace {

/// @p address with @p port as the socket address the system's calls take; its length, 0 for no IP address.
SocketApi::Length socketAddress(const QHostAddress& address, quint16 port, sockaddr_storage* out)
{
    *out = {};
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(out);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof(in6->sin6_addr));
        return sizeof(sockaddr_in6);
    }
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in4 = reinterpret_cast<sockaddr_in*>(out);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        return sizeof(sockaddr_in);
    }
    return 0;
}

} // namespace

QHostAddress SystemSockets::connectedLocalEnd(const QHostAddress& destination)
{
    sockaddr_storage remote;
    const SocketApi::Length remoteLength = socketAddress(destination, 53, &remote);
    if (!remoteLength || !SocketApi::start())
        return {};
    const SocketApi::Handle handle = SocketApi::udpSocket(remote.ss_family);
    if (handle == SocketApi::NoSocket)
        return {};
    QHostAddress local;
    sockaddr_storage own{};
    SocketApi::Length ownLength = sizeof(own);
    // connect() on a UDP socket only picks the route and the source address; ENETUNREACH means no route.
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&remote), remoteLength) == 0 &&
        ::getsockname(handle, reinterpret_cast<sockaddr*>(&own), &ownLength) == 0)
        local.setAddress(reinterpret_cast<const sockaddr*>(&own));
    SocketApi::close(handle);
    return local;
}

std::optional<QByteArray> SystemSockets::nameOf(const QHostAddress& address, QString* error)
{
    SocketApi::start();
    sockaddr_storage asked;
    const SocketApi::Length askedLength = socketAddress(address, 0, &asked);
    char host[NI_MAXHOST] = {};
    const int rc =
        getnameinfo(reinterpret_cast<const sockaddr*>(&asked), askedLength, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    if (rc != 0) {
        *error = SocketApi::resolverError(rc);
        return std::nullopt;
    }
    host[sizeof host - 1] = '\0';
    return QByteArray(host, qsizetype(std::strlen(host)));
}

std::optional<QHostAddress> SystemSockets::firstIPv4Of(const QByteArray& name, QString* error)
{
    SocketApi::start();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(name.constData(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        *error = SocketApi::resolverError(rc);
        return std::nullopt;
    }
    QHostAddress first;
    if (found->ai_family == AF_INET && found->ai_addr && found->ai_addrlen >= sizeof(sockaddr_in))
        first.setAddress(found->ai_addr);
    freeaddrinfo(found);
    return first;
}
