#pragma once

#include "router/PcpMessage.h"
#include "router/RouterAnswer.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <optional>

/// Asks a gateway for its external address by PCP without blocking: a MAP request of a short lifetime for this
/// query's own UDP port, whose answer carries the assigned external address; the mapping is deleted once answered.
/// Sent again at growing intervals until the deadline.
class PcpQuery : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 LifetimeSeconds = 60;

    explicit PcpQuery(QObject* parent = nullptr);

    /// Starts the exchange with @p gateway; finished() or natPmpAsked() comes once, at the latest after @p timeoutMs.
    void start(const QHostAddress& gateway, int timeoutMs);
    /// Ends the exchange without a signal.
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void finished(const RouterAnswer& answer);
    /// The gateway speaks NAT-PMP only, or could not map: ask it by NAT-PMP in the @p remainingMs left.
    void natPmpAsked(int remainingMs);

private:
    void send();
    void read();

    QUdpSocket m_socket;
    PcpMessage::MapRequest m_request;
    QTimer m_retry;
    QTimer m_deadline;
    int m_retryMs = 0;
    bool m_running = false;
    // The last epoch heard, and when: a router that restarted has lost the mappings of everyone behind it.
    std::optional<quint32> m_epoch;
    QElapsedTimer m_epochHeard;
};
