#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

/// The few socket and resolver calls that LocalAddress and HostNames are built on, made the system's way (its
/// headers, its socket handle, its error texts). Each system's folder implements them; used inside platform/ only.
namespace SystemSockets {

/// The local end the system gives a UDP socket of @p destination's family connected to @p destination, port 53
/// (connecting a UDP socket only picks the route and the source address). Null when it has no route or no socket.
QHostAddress connectedLocalEnd(const QHostAddress& destination);

/// The name the resolver gives the IPv4 address @p address (it must have one: NI_NAMEREQD), as it wrote it, up to
/// its first NUL; nothing and @p error when it knows none.
std::optional<QByteArray> nameOf(const QHostAddress& address, QString* error);

/// The first entry of the resolver's IPv4 answer for @p name (which holds no NUL): an IPv4 address, or a null one
/// when that entry is none. Nothing and @p error when the resolver failed.
std::optional<QHostAddress> firstIPv4Of(const QByteArray& name, QString* error);

} // namespace SystemSockets
