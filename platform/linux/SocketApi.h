#pragma once

// The Berkeley socket calls as Linux has them, under the names platform/sockets/ uses on every system.

#include <QString>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace SocketApi {

using Handle = int;
using Length = socklen_t;
inline constexpr Handle NoSocket = -1;

/// Sockets need no start on Linux.
inline bool start()
{
    return true;
}

/// A datagram socket of @p family that no started program inherits.
inline Handle udpSocket(int family)
{
    return ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

inline void close(Handle socket)
{
    ::close(socket);
}

/// The text of a getaddrinfo() or getnameinfo() failure.
inline QString resolverError(int code)
{
    return QString::fromLocal8Bit(gai_strerror(code));
}

} // namespace SocketApi
