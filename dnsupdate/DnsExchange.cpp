#include "dnsupdate/DnsExchange.h"

#include <QNetworkDatagram>
#include <QtEndian>

#include <utility>

DnsExchange::DnsExchange(QObject* parent) : QObject(parent)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        const QString where = QStringLiteral("%1 port %2").arg(m_server.toString()).arg(m_port);
        end({},
            m_dropped.isEmpty()
                ? QStringLiteral("no answer from %1 within %2 s").arg(where).arg(m_timeout.interval() / 1000.0)
                : QStringLiteral("no valid answer from %1, only %2 (forged or stray): refused").arg(where, m_dropped));
    });
    connect(&m_udp, &QUdpSocket::readyRead, this, &DnsExchange::readDatagrams);
    connect(&m_udp, &QUdpSocket::errorOccurred, this, [this] { socketFailed(m_udp.errorString()); });
    connect(&m_tcp, &QTcpSocket::connected, this, [this] {
        QByteArray framed(2, '\0');
        qToBigEndian(quint16(m_request.wire.size()), framed.data());
        m_tcp.write(framed + m_request.wire);
    });
    connect(&m_tcp, &QTcpSocket::readyRead, this, &DnsExchange::readStream);
    connect(&m_tcp, &QTcpSocket::errorOccurred, this, [this] { socketFailed(m_tcp.errorString()); });
}

void DnsExchange::start(const QHostAddress& server, quint16 port, const DnsRequest& request, const TsigKey& key,
                        int timeoutMs, Done done)
{
    abort();
    m_server = server;
    m_port = port;
    m_request = request;
    m_key = key;
    m_done = std::move(done);
    m_dropped.clear();
    m_timeout.start(timeoutMs);
    // A connected socket takes datagrams from the server's address and port only.
    m_udp.connectToHost(server, port);
    m_udp.write(request.wire);
}

void DnsExchange::abort()
{
    m_done = {};
    m_timeout.stop();
    m_udp.abort();
    m_tcp.abort();
    m_stream.clear();
}

void DnsExchange::readDatagrams()
{
    while (m_done && m_udp.state() == QAbstractSocket::ConnectedState && m_udp.hasPendingDatagrams())
        take(m_udp.receiveDatagram(DnsMessages::MaxMessageBytes).data(), false);
}

void DnsExchange::startTcp()
{
    m_udp.abort();
    m_tcp.connectToHost(m_server, m_port);
}

void DnsExchange::readStream()
{
    // Two bytes of length, then the message: at most 64 KiB are ever held.
    m_stream += m_tcp.read(2 + DnsMessages::MaxMessageBytes - m_stream.size());
    if (m_stream.size() < 2)
        return;
    const int length = qFromBigEndian<quint16>(m_stream.constData());
    if (m_stream.size() >= 2 + length)
        take(m_stream.mid(2, length), true);
}

void DnsExchange::take(const QByteArray& wire, bool overTcp)
{
    const DnsAnswer answer = DnsMessages::readAnswer(wire, m_request, m_key);
    switch (answer.verdict) {
    case DnsAnswer::Verdict::Unreadable:
        if (overTcp)
            return end(answer, QStringLiteral("the server's answer over TCP is %1").arg(answer.problem));
        m_dropped = answer.problem;
        return;
    case DnsAnswer::Verdict::Truncated:
        if (overTcp)
            return end(answer, QStringLiteral("the server's answer is truncated even over TCP"));
        return startTcp();
    case DnsAnswer::Verdict::BadSignature:
        return end(answer, QStringLiteral("the answer from %1 port %2 is not signed with the key (%3): refused")
                               .arg(m_server.toString())
                               .arg(m_port)
                               .arg(answer.problem));
    case DnsAnswer::Verdict::Read:
        return end(answer, {});
    }
}

void DnsExchange::socketFailed(const QString& what)
{
    if (m_done)
        end({}, QStringLiteral("%1 port %2: %3").arg(m_server.toString()).arg(m_port).arg(what));
}

void DnsExchange::end(const DnsAnswer& answer, const QString& failure)
{
    Done done = std::exchange(m_done, {});
    abort();
    if (done)
        done(answer, failure);
}
