#include "platform/HostNames.h"

#include "platform/SystemSockets.h"

#include <QtEndian>

std::optional<QByteArray> HostNames::nameOf(const IPv4& address, QString* error)
{
    return SystemSockets::nameOf(QHostAddress(qFromBigEndian<quint32>(address.data())), error);
}

std::optional<HostNames::IPv4> HostNames::addressOf(const QByteArray& name, QString* error)
{
    const std::optional<QHostAddress> found = SystemSockets::firstIPv4Of(name, error);
    if (!found)
        return std::nullopt;
    error->clear();
    if (found->protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    IPv4 result;
    qToBigEndian(found->toIPv4Address(), result.data());
    return result;
}
