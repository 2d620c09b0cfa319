#include "router/PcpQuery.h"

#include <QNetworkDatagram>
#include <QRandomGenerator>

namespace {
constexpr int FirstRetryMs = 500;
}

PcpQuery::PcpQuery(QObject* parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &PcpQuery::send);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        cancel();
        emit finished({});
    });
    connect(&m_socket, &QUdpSocket::readyRead, this, &PcpQuery::read);
}

void PcpQuery::start(const QHostAddress& gateway, int timeoutMs)
{
    cancel();
    if (gateway.protocol() != QAbstractSocket::IPv4Protocol) {
        emit finished({});
        return;
    }
    // Connected to the gateway's port: answers from anyone else never reach the socket, and its own address is
    // the client address the request must name.
    m_socket.connectToHost(gateway, PcpMessage::ServerPort);
    if (!m_socket.waitForConnected(0) || m_socket.localAddress().isNull()) {
        qCDebug(lcRouter) << "PCP: no socket to" << gateway << m_socket.errorString();
        m_socket.abort();
        emit finished({});
        return;
    }
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(m_request.nonce.data()),
                                          m_request.nonce.size() / sizeof(quint32));
    m_request.client = m_socket.localAddress();
    m_request.internalPort = m_socket.localPort();
    m_request.lifetime = LifetimeSeconds;
    m_running = true;
    m_retryMs = FirstRetryMs;
    m_deadline.start(timeoutMs);
    send();
}

void PcpQuery::send()
{
    if (!m_running)
        return;
    m_socket.write(PcpMessage::mapRequest(m_request));
    m_retry.start(m_retryMs);
    m_retryMs *= 2;
}

void PcpQuery::read()
{
    while (m_running && m_socket.hasPendingDatagrams()) {
        const QByteArray datagram = m_socket.receiveDatagram(PcpMessage::MaxBytes + 1).data();
        QString error;
        const std::optional<PcpMessage::Reply> reply = PcpMessage::parseReply(datagram, &error);
        if (!reply) {
            qCDebug(lcRouter) << "PCP: ignored" << error;
            continue;
        }
        const PcpMessage::Verdict verdict = PcpMessage::judge(m_request, *reply);
        if (verdict.next == PcpMessage::Verdict::Next::Ignore)
            continue;
        if (verdict.next == PcpMessage::Verdict::Next::AskNatPmp) {
            qCDebug(lcRouter) << "PCP: version" << reply->version << "result" << reply->result << "- asking by NAT-PMP";
            const int remaining = m_deadline.remainingTime();
            cancel();
            emit natPmpAsked(remaining);
            return;
        }
        if (m_epoch && !PcpMessage::epochContinues(*m_epoch, reply->epoch, m_epochHeard.elapsed() / 1000))
            qCInfo(lcRouter) << "PCP: the router restarted or lost its mappings (epoch" << *m_epoch << "then"
                             << reply->epoch << ")";
        m_epoch = reply->epoch;
        m_epochHeard.start();
        if (reply->result == PcpMessage::Success) {
            // The mapping was only the way to the address: it goes at once rather than at the end of its lifetime.
            PcpMessage::MapRequest remove = m_request;
            remove.lifetime = 0;
            m_socket.write(PcpMessage::mapRequest(remove));
        }
        cancel();
        emit finished(verdict.answer);
        return;
    }
}

void PcpQuery::cancel()
{
    m_running = false;
    m_retry.stop();
    m_deadline.stop();
    m_socket.abort();
}
