#pragma once

#include "router/RouterAnswer.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

/// Asks a gateway for its public address by NAT-PMP (UDP port 5351) without blocking: the request goes out again at
/// doubling intervals from 250 ms (RFC 6886 section 3.1) until an answer comes, and the whole exchange ends by the
/// time-out.
class NatPmpQuery : public QObject
{
    Q_OBJECT
public:
    explicit NatPmpQuery(QObject* parent = nullptr);

    /// Starts the exchange with @p gateway; finished() comes once, at the latest after @p timeoutMs.
    void start(const QHostAddress& gateway, int timeoutMs);
    /// Ends the exchange without a finished().
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void finished(const RouterAnswer& answer);

private:
    void send();
    void read();
    void finish(const RouterAnswer& answer);

    QUdpSocket m_socket;
    QHostAddress m_gateway;
    QTimer m_retry;
    QTimer m_deadline;
    int m_retryMs = 0;
    bool m_running = false;
};
