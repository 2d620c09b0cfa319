#pragma once

#include "dnsupdate/DnsMessages.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <functional>

/// One request and its answer with a DNS server: over UDP, again over TCP when the answer comes truncated. Datagrams
/// that are no answer to the request (another ID or question) are dropped and the wait goes on; an answer that is
/// unsigned or whose signature does not verify ends it as a failure. The whole exchange ends after its time-out.
/// Answers are at most 64 KiB.
class DnsExchange : public QObject
{
    Q_OBJECT
public:
    /// @p failure is empty when @p answer was read.
    using Done = std::function<void(const DnsAnswer& answer, const QString& failure)>;

    explicit DnsExchange(QObject* parent = nullptr);

    /// Sends @p request to @p server and returns; @p done runs once, later, unless abort() comes first.
    void start(const QHostAddress& server, quint16 port, const DnsRequest& request, const TsigKey& key, int timeoutMs,
               Done done);
    void abort();

private:
    void readDatagrams();
    void startTcp();
    void readStream();
    void take(const QByteArray& wire, bool overTcp);
    void end(const DnsAnswer& answer, const QString& failure);
    void socketFailed(const QString& what);

    QUdpSocket m_udp;
    QTcpSocket m_tcp;
    QTimer m_timeout;
    QHostAddress m_server;
    quint16 m_port = 0;
    DnsRequest m_request;
    TsigKey m_key;
    QByteArray m_stream;
    QString m_dropped; // why the last datagram dropped was not an answer
    Done m_done;
};
