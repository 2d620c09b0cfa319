#pragma once

// The Berkeley socket calls as Winsock has them, under the names platform/sockets/ uses on every system.

#include "platform/windows/SystemError.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace SocketApi {

using Handle = SOCKET;
using Length = int;
inline constexpr Handle NoSocket = INVALID_SOCKET;

/// Winsock must be started once per process before its sockets and look-ups work.
inline bool start()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

inline Handle udpSocket(int family)
{
    return ::socket(family, SOCK_DGRAM, IPPROTO_UDP);
}

inline void close(Handle socket)
{
    ::closesocket(socket);
}

/// The text of a getaddrinfo() or getnameinfo() failure (a Winsock error code).
inline QString resolverError(int code)
{
    return systemErrorText(code);
}

} // namespace SocketApi
