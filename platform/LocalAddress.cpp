#include "platform/LocalAddress.h"

#include "platform/SystemSockets.h"

#include <QNetworkInterface>

namespace {

// Any global unicast address would do: no packet goes out. These are a root name server's, addresses
// that will stay routed through whatever the default route is.
const QHostAddress GlobalIPv4(QStringLiteral("198.41.0.4"));
const QHostAddress GlobalIPv6(QStringLiteral("2001:503:ba3e::2:30"));

// The interfaces as the system lists them, in the system's order.
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

} // namespace

QHostAddress routeLocalAddress(const QHostAddress& destination)
{
    if (destination.protocol() != QAbstractSocket::IPv4Protocol &&
        destination.protocol() != QAbstractSocket::IPv6Protocol)
        return {};
    QHostAddress local = SystemSockets::connectedLocalEnd(destination);
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
