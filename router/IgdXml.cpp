#include "router/IgdXml.h"

#include "platform/AddressText.h"

#include <QList>
#include <QXmlStreamReader>

namespace IgdXml {

namespace {

bool isWanConnection(const QString& type)
{
    return type.startsWith(QLatin1String("urn:schemas-upnp-org:service:WANIPConnection:")) ||
           type.startsWith(QLatin1String("urn:schemas-upnp-org:service:WANPPPConnection:"));
}

// The text of the element the reader stands on, bounded by the reader's input.
QString elementText(QXmlStreamReader& xml)
{
    return xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
}

} // namespace

std::optional<QUrl> discoveryLocation(const QByteArray& datagram, const QString& host)
{
    const QList<QByteArray> lines = datagram.split('\n');
    if (lines.isEmpty() || !lines.first().startsWith("HTTP/1.1 200"))
        return std::nullopt;
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).trimmed().toLower() != "location")
            continue;
        const QUrl url(QString::fromLatin1(line.mid(colon + 1).trimmed()), QUrl::StrictMode);
        if (url.isValid() && url.scheme() == QLatin1String("http") && url.host() == host)
            return url;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<Service> wanConnection(const QByteArray& description, const QUrl& location)
{
    if (description.size() > MaxDescriptionBytes)
        return std::nullopt;
    QXmlStreamReader xml(description);
    QUrl base = location;
    std::optional<Service> found;
    QString type, control;
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("service")) {
            if (!found && isWanConnection(type) && !control.isEmpty())
                found = Service{type, QUrl(control)};
            type.clear();
            control.clear();
        }
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("URLBase"))
            base = QUrl(elementText(xml));
        else if (xml.name() == QLatin1String("serviceType"))
            type = elementText(xml);
        else if (xml.name() == QLatin1String("controlURL"))
            control = elementText(xml);
    }
    if (xml.hasError() || !found)
        return std::nullopt;
    found->controlUrl = base.resolved(found->controlUrl);
    // The description may not send the question anywhere but to the router it came from.
    const QUrl& url = found->controlUrl;
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host() != location.host() ||
        url.port(80) != location.port(80))
        return std::nullopt;
    return found;
}

QByteArray externalAddressRequest(const QString& serviceType)
{
    return "<?xml version=\"1.0\"?>\r\n"
           "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>"
           "<u:GetExternalIPAddress xmlns:u=\"" +
           serviceType.toHtmlEscaped().toUtf8() + "\"></u:GetExternalIPAddress></s:Body></s:Envelope>\r\n";
}

RouterAnswer externalAddress(const QByteArray& reply)
{
    const QString upnp = QStringLiteral("UPnP");
    const RouterAnswer bad{RouterAnswer::Kind::Bad, {}, upnp};
    if (reply.size() > MaxReplyBytes)
        return bad;
    QXmlStreamReader xml(reply);
    bool inResponse = false;
    QString text;
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("GetExternalIPAddressResponse"))
            inResponse = true;
        else if (inResponse && xml.name() == QLatin1String("NewExternalIPAddress"))
            text = elementText(xml);
    }
    if (xml.hasError() || !inResponse)
        return bad;
    if (text.isEmpty())
        return {RouterAnswer::Kind::Withheld, {}, upnp};
    const std::optional<QHostAddress> address = AddressText::parse(text);
    if (!address)
        return bad;
    if (address->protocol() != QAbstractSocket::IPv4Protocol)
        return {};
    if (address->toIPv4Address() == 0)
        return {RouterAnswer::Kind::Withheld, {}, upnp};
    return {RouterAnswer::Kind::Address, *address, upnp};
}

} // namespace IgdXml
