#include "discovery/StunSource.h"

#include "discovery/DiscoveryLog.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QRandomGenerator>

namespace {

constexpr int FirstRetransmitMs = 500; // RFC 8489 section 6.2.1: RTO 500 ms, doubled after each send
constexpr int MaxDatagramBytes = 1500;

} // namespace

StunSource::StunSource(QString host, quint16 port, QString uri, QObject* parent)
    : AddressSource(std::move(uri), parent), m_host(std::move(host)), m_port(port)
{
    m_retransmit.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_retransmit, &QTimer::timeout, this, &StunSource::send);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        QString reason = QStringLiteral("no answer within %1 ms").arg(m_deadline.interval());
        if (!m_lastError.isEmpty())
            reason += QStringLiteral(" (refused reply: %1)").arg(m_lastError);
        finishLater(false, {}, reason);
    });
}

StunSource::~StunSource()
{
    haltQuery();
}

void StunSource::start(int timeoutMs)
{
    cancel();
    beginQuery();
    m_lastError.clear();
    m_deadline.start(timeoutMs);
    QRandomGenerator::system()->generate(m_id.begin(), m_id.end());
    m_request = StunMessage::bindingRequest(m_id);
    const QHostAddress literal(m_host);
    if (!literal.isNull()) {
        onHostFound(queryGeneration(), {literal}, {});
        return;
    }
    const quint64 generation = queryGeneration();
    m_lookupId = QHostInfo::lookupHost(m_host, this, [this, generation](const QHostInfo& info) {
        m_lookupId = -1;
        onHostFound(generation, info.addresses(), info.error() == QHostInfo::NoError ? QString() : info.errorString());
    });
}

void StunSource::cancel()
{
    abandonQuery();
    haltQuery();
}

void StunSource::haltQuery()
{
    m_deadline.stop();
    m_retransmit.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

void StunSource::onHostFound(quint64 generation, const QList<QHostAddress>& addresses, const QString& error)
{
    if (generation != queryGeneration() || !isQueryRunning())
        return;
    m_server = QHostAddress();
    for (const QHostAddress& address : addresses) {
        if (addressFamily() == QAbstractSocket::AnyIPProtocol || address.protocol() == addressFamily()) {
            m_server = address;
            break;
        }
    }
    if (m_server.isNull()) {
        finishLater(false, {},
                    error.isEmpty() ? QStringLiteral("%1 has no address of the wanted family").arg(m_host)
                                    : QStringLiteral("cannot resolve %1: %2").arg(m_host, error));
        return;
    }
    m_socket = new QUdpSocket(this);
    const QHostAddress any =
        m_server.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4;
    if (!m_socket->bind(any, 0)) {
        finishLater(false, {}, QStringLiteral("cannot open a UDP socket: %1").arg(m_socket->errorString()));
        return;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &StunSource::onReadyRead);
    m_sent = 0;
    send();
}

void StunSource::send()
{
    if (!isQueryRunning() || !m_socket)
        return;
    if (m_socket->writeDatagram(m_request, m_server, m_port) != m_request.size()) {
        finishLater(false, {},
                    QStringLiteral("cannot send to %1: %2").arg(m_server.toString(), m_socket->errorString()));
        return;
    }
    m_retransmit.start(FirstRetransmitMs << std::min(m_sent, 6));
    ++m_sent;
}

void StunSource::onReadyRead()
{
    while (isQueryRunning() && m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(MaxDatagramBytes);
        if (datagram.senderPort() != m_port ||
            !datagram.senderAddress().isEqual(m_server, QHostAddress::TolerantConversion))
            continue; // not from the server asked
        markReplied();
        StunMessage message;
        QString reason;
        if (!message.parse(datagram.data(), &reason)) {
            m_lastError = reason;
            qCDebug(lcDiscovery) << uri() << "refused a datagram:" << reason;
            continue;
        }
        const std::optional<QHostAddress> address = message.mappedAddressFor(m_id, &reason);
        if (!address && message.transactionId() != m_id) {
            m_lastError = reason; // an old or forged answer; ours may still come
            qCDebug(lcDiscovery) << uri() << "refused a datagram:" << reason;
            continue;
        }
        finishLater(address.has_value(), address.value_or(QHostAddress()), reason);
    }
}
