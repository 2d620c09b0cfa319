#pragma once

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
/// NewExternalIPAddress of a GetExternalIPAddressResponse, trimmed ("" when the router gives none), or nothing when
/// @p reply is no such answer.
std::optional<QString> externalAddress(const QByteArray& reply);

} // namespace IgdXml
