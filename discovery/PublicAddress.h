#pragma once

#include <QHostAddress>

/// False for private, CGNAT 100.64/10, loopback, link-local, unspecified, multicast (and IPv6 ULA fc00::/7,
/// site-local, v4-mapped of those); documentation ranges 192.0.2/24, 198.51.100/24, 203.0.113/24, 2001:db8::/32
/// count as public so tests can use them.
bool isPublicAddress(const QHostAddress& address);
