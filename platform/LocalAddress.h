#pragma once

#include <QHostAddress>
#include <QString>

/// The local address the kernel would use to reach @p destination: the local end of a UDP socket
/// connected to it (connecting a UDP socket sends no packet). A null address when there is no route.
QHostAddress routeLocalAddress(const QHostAddress& destination);

/// The local machine's IPv4 address as dotted decimal text: the address that the default route uses;
/// when there is no default route, the first address of an interface that is up, running and not a
/// loopback; "127.0.0.1" when the machine has neither.
QString localIPv4Address();

/// Whether the machine has a route to the global IPv6 internet (a default route or one that covers
/// a global address).
bool hasIPv6Route();
