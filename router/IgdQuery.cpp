#include "router/IgdQuery.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <utility>

namespace {

const QHostAddress SsdpGroup(QStringLiteral("239.255.255.250"));
constexpr quint16 SsdpPort = 1900;
constexpr qint64 ReadBufferBytes = 16 * 1024;

const QByteArray Search = "M-SEARCH * HTTP/1.1\r\n"
                          "HOST: 239.255.255.250:1900\r\n"
                          "MAN: \"ssdp:discover\"\r\n"
                          "MX: 2\r\n"
                          "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n"
                          "\r\n";

} // namespace

IgdQuery::IgdQuery(QObject* parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        qCDebug(lcRouter) << "UPnP: no answer in time";
        finish({});
    });
    connect(&m_ssdp, &QUdpSocket::readyRead, this, &IgdQuery::readDiscovery);
    // The router is on the LAN: asked directly, never through a proxy, and a redirect is no answer.
    m_network.setProxy(QNetworkProxy::NoProxy);
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

IgdQuery::~IgdQuery()
{
    cancel();
}

void IgdQuery::start(const QHostAddress& gateway, int timeoutMs)
{
    cancel();
    if (gateway.protocol() != QAbstractSocket::IPv4Protocol || !m_ssdp.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        emit finished({});
        return;
    }
    m_gateway = gateway;
    m_step = Step::Discovery;
    m_running = true;
    m_deadline.start(timeoutMs);
    if (m_ssdp.writeDatagram(Search, SsdpGroup, SsdpPort) < 0) {
        qCDebug(lcRouter) << "UPnP: search not sent:" << m_ssdp.errorString();
        finish({});
    }
}

// Answers of other devices (printers, media servers, a second gateway) are skipped: only the default gateway's
// own address is the address of this line.
void IgdQuery::readDiscovery()
{
    while (m_running && m_step == Step::Discovery && m_ssdp.hasPendingDatagrams()) {
        QHostAddress sender;
        QByteArray datagram(2048, Qt::Uninitialized);
        const qint64 size = m_ssdp.readDatagram(datagram.data(), datagram.size(), &sender);
        if (size < 0 || !sender.isEqual(m_gateway, QHostAddress::ConvertV4MappedToIPv4))
            continue;
        datagram.truncate(size);
        const std::optional<QUrl> location = IgdXml::discoveryLocation(datagram, m_gateway.toString());
        if (!location)
            continue;
        m_location = *location;
        m_step = Step::Description;
        fetch(m_location, {}, {}, IgdXml::MaxDescriptionBytes);
    }
    // Later datagrams stay unread until the socket closes.
}

void IgdQuery::fetch(const QUrl& url, const QByteArray& soapAction, const QByteArray& body, qsizetype limit)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_limit = limit;
    if (soapAction.isEmpty()) {
        m_reply = m_network.get(request);
    } else {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/xml; charset=\"utf-8\""));
        request.setRawHeader("SOAPAction", soapAction);
        m_reply = m_network.post(request, body);
    }
    // Qt stops reading the socket while this much waits unread, and every piece is taken as it comes: a gateway
    // that sends without end costs no more memory than the limit before it is cut off.
    m_reply->setReadBufferSize(ReadBufferBytes);
    m_body.clear();
    connect(m_reply, &QNetworkReply::readyRead, this, &IgdQuery::readBody);
    connect(m_reply, &QNetworkReply::finished, this, &IgdQuery::replied);
}

// False once the answer is over its limit: the exchange has then ended as a bad answer.
bool IgdQuery::readBody()
{
    if (!m_reply || !m_running)
        return false;
    m_body += m_reply->read(m_limit + 1 - m_body.size());
    if (m_body.size() <= m_limit)
        return true;
    qCDebug(lcRouter) << "UPnP: answer over" << m_limit << "bytes";
    finish({RouterAnswer::Kind::Bad, {}, QStringLiteral("UPnP")});
    return false;
}

void IgdQuery::replied()
{
    if (!readBody())
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    const QByteArray body = std::exchange(m_body, {});
    if (m_step == Step::Description) {
        const std::optional<IgdXml::Service> service =
            reply->error() == QNetworkReply::NoError ? IgdXml::wanConnection(body, m_location) : std::nullopt;
        if (!service) {
            qCDebug(lcRouter) << "UPnP: no WAN connection service in" << m_location;
            return finish({});
        }
        m_step = Step::Control;
        fetch(service->controlUrl, '"' + service->type.toUtf8() + "#GetExternalIPAddress\"",
              IgdXml::externalAddressRequest(service->type), IgdXml::MaxReplyBytes);
        return;
    }
    // A SOAP fault comes with status 500 and is no answer.
    if (reply->error() != QNetworkReply::NoError) {
        qCDebug(lcRouter) << "UPnP: GetExternalIPAddress failed:" << reply->errorString();
        return finish({});
    }
    finish(IgdXml::externalAddress(body));
}

void IgdQuery::finish(const RouterAnswer& answer)
{
    cancel();
    emit finished(answer);
}

void IgdQuery::cancel()
{
    m_running = false;
    m_deadline.stop();
    m_ssdp.close();
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_body.clear();
}
