#include "router/NatPmpQuery.h"

#include "router/NatPmpMessage.h"

#include <QNetworkDatagram>

namespace {
constexpr int FirstRetryMs = 250;
}

NatPmpQuery::NatPmpQuery(QObject* parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &NatPmpQuery::send);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish({}); });
    connect(&m_socket, &QUdpSocket::readyRead, this, &NatPmpQuery::read);
}

void NatPmpQuery::start(const QHostAddress& gateway, int timeoutMs)
{
    cancel();
    if (gateway.protocol() != QAbstractSocket::IPv4Protocol) {
        emit finished({});
        return;
    }
    // Connected to the gateway's port, so that answers from anyone else never reach the socket; read() checks the
    // source all the same.
    m_socket.connectToHost(gateway, NatPmpMessage::ServerPort);
    if (!m_socket.waitForConnected(0)) {
        qCDebug(lcRouter) << "NAT-PMP: no socket to" << gateway << m_socket.errorString();
        m_socket.abort();
        emit finished({});
        return;
    }
    m_gateway = gateway;
    m_running = true;
    m_retryMs = FirstRetryMs;
    m_deadline.start(timeoutMs);
    send();
}

void NatPmpQuery::send()
{
    if (!m_running)
        return;
    m_socket.write(NatPmpMessage::addressRequest());
    m_retry.start(m_retryMs);
    m_retryMs *= 2;
}

void NatPmpQuery::read()
{
    while (m_running && m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(NatPmpMessage::AnswerBytes + 1);
        if (!NatPmpMessage::fromGateway(datagram, m_gateway)) {
            qCDebug(lcRouter) << "NAT-PMP: ignored a datagram from" << datagram.senderAddress()
                              << datagram.senderPort();
            continue;
        }
        QString error;
        quint16 result = NatPmpMessage::Success;
        const std::optional<NatPmpMessage::Answer> answer =
            NatPmpMessage::parseAnswer(datagram.data(), &error, &result);
        const QString method = QStringLiteral("NAT-PMP");
        if (answer) {
            // An address of zero is no address: the router has none to give.
            if (answer->external.toIPv4Address() == 0)
                return finish({RouterAnswer::Kind::Withheld, {}, method});
            return finish({RouterAnswer::Kind::Address, answer->external, method});
        }
        // "Network failure": the router is not connected or has no public address to tell.
        if (result == NatPmpMessage::NetworkFailure)
            return finish({RouterAnswer::Kind::Withheld, {}, method});
        qCDebug(lcRouter) << "NAT-PMP:" << error;
        // A refusal is the router's last word; anything else is no answer to this request: wait on.
        if (result != NatPmpMessage::Success)
            return finish({});
    }
}

void NatPmpQuery::finish(const RouterAnswer& answer)
{
    cancel();
    emit finished(answer);
}

void NatPmpQuery::cancel()
{
    m_running = false;
    m_retry.stop();
    m_deadline.stop();
    m_socket.abort();
}
