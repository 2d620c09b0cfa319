#pragma once

#include "router/RouterAnswer.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

/// What an Internet gateway device says over UPnP, read with bounds: the discovery answer, its device description
/// and the answer to GetExternalIPAddress.
namespace IgdXml {

constexpr qsizetype MaxDescriptionBytes = 64 * 1024;
constexpr qsizetype MaxReplyBytes = 16 * 1024;

/// The service that knows the WAN address: a WANIPConnection or WANPPPConnection.
struct Service
{
    QString type;    ///< "urn:schemas-upnp-org:service:WANIPConnection:1" and the like
    QUrl controlUrl; ///< absolute
};

/// The LOCATION of an SSDP answer ("HTTP/1.1 200 OK" and headers): an http URL on @p host, or nothing.
std::optional<QUrl> discoveryLocation(const QByteArray& datagram, const QString& host);
/// The first WAN connection service of a device description fetched from @p location; its control URL resolved
/// against the description's URLBase or @p location, and only on @p location's host and port.
std::optional<Service> wanConnection(const QByteArray& description, const QUrl& location);
/// The SOAP request of GetExternalIPAddress for @p serviceType.
QByteArray externalAddressRequest(const QString& serviceType);
/// What a GetExternalIPAddressResponse says of the WAN address: Address for a complete dotted quad, Withheld when
/// there is none ("" or 0.0.0.0), None for an IPv6 address (no IPv4 WAN address to compare), and Bad for any other
/// text ("100.64", "1", "0x64.1.2.3") and for a reply that is no such answer.
RouterAnswer externalAddress(const QByteArray& reply);

} // namespace IgdXml
