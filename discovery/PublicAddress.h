#pragma once

#include <QHostAddress>

/// Whether a public host can have @p address: false for every range of the IANA IPv4 and IPv6
/// special-purpose address registries (private, carrier-grade NAT, loopback, link-local, benchmarking,
/// protocol assignments, discard-only, ULA, ...) and for multicast, reserved and deprecated ranges.
/// The documentation ranges (192.0.2/24, 198.51.100/24, 203.0.113/24, 2001:db8::/32, 3fff::/20) count as
/// public so that tests can answer with them. An IPv4 address in IPv6 form (v4-mapped ::ffff:0:0/96, NAT64
/// 64:ff9b::/96 and 64:ff9b:1::/48, 6to4 2002::/16) is judged by the IPv4 address it carries.
bool isPublicAddress(const QHostAddress& address);
