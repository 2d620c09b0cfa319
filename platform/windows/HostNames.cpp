#include "platform/HostNames.h"

#include "platform/windows/SystemError.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

namespace {
// Winsock must be started once per process before its look-ups answer.
bool startWinsock()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
} // namespace

std::optional<QByteArray> HostNames::nameOf(const IPv4& address, QString* error)
{
    startWinsock();
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    std::memcpy(&socketAddress.sin_addr, address.data(), address.size());

    char host[NI_MAXHOST] = {};
    const int rc = getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                               sizeof host, nullptr, 0, NI_NAMEREQD);
    if (rc != 0) {
        *error = systemErrorText(rc);
        return std::nullopt;
    }
    host[sizeof host - 1] = '\0';
    return QByteArray(host, qsizetype(std::strlen(host)));
}

std::optional<HostNames::IPv4> HostNames::addressOf(const QByteArray& name, QString* error)
{
    startWinsock();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(name.constData(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        *error = systemErrorText(rc);
        return std::nullopt;
    }
    std::optional<IPv4> result;
    if (found->ai_family == AF_INET && found->ai_addr && found->ai_addrlen >= sizeof(sockaddr_in)) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        result.emplace();
        std::memcpy(result->data(), &in->sin_addr, result->size());
    }
    freeaddrinfo(found);
    error->clear();
    return result;
}
