// What a gateway says over UPnP (its SSDP answer, device description and GetExternalIPAddress reply): whatever it
// sends, the readers end with an answer or none, and never send the next question to another host. An address
// read strictly is written back exactly as it was sent: no short form, no leading zero, no scope slips through.
#include "platform/AddressText.h"
#include "router/IgdXml.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString gateway = QStringLiteral("192.168.77.1");
    const QUrl location(QStringLiteral("http://192.168.77.1:5000/rootDesc.xml"));
    if (const std::optional<QUrl> url = IgdXml::discoveryLocation(bytes, gateway); url && url->host() != gateway)
        __builtin_trap();
    if (const std::optional<IgdXml::Service> service = IgdXml::wanConnection(bytes, location)) {
        if (service->controlUrl.host() != location.host() || service->controlUrl.port(80) != location.port(80) ||
            service->type.isEmpty())
            __builtin_trap();
        if (!IgdXml::externalAddressRequest(service->type).contains("GetExternalIPAddress"))
            __builtin_trap();
    }
    const RouterAnswer answer = IgdXml::externalAddress(bytes);
    if (answer.kind == RouterAnswer::Kind::Address && answer.address.protocol() != QAbstractSocket::IPv4Protocol)
        __builtin_trap();
    const QString text = QString::fromUtf8(bytes);
    if (const std::optional<QHostAddress> address = AddressText::parse(text);
        address && address->protocol() == QAbstractSocket::IPv4Protocol && address->toString() != text)
        __builtin_trap();
    return 0;
}
