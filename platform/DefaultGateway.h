#pragma once

#include <QHostAddress>

/// The IPv4 address of the router the default route goes through, or a null address when there is no default
/// route or it has no gateway (a point-to-point link, a network namespace with loopback only).
QHostAddress defaultGatewayIPv4();
