#pragma once

#include "router/RouterAnswer.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

/// Asks a gateway for its public address by NAT-PMP (UDP port 5351) without blocking: the request goes out, the
/// socket's readability and the library's retry times are events, and the whole exchange ends by @p timeoutMs.
class NatPmpQuery : public QObject
{
    Q_OBJECT
public:
    explicit NatPmpQuery(QObject* parent = nullptr);
    ~NatPmpQuery() override;

    /// Starts the exchange with @p gateway; finished() comes once, at the latest after @p timeoutMs.
    void start(const QHostAddress& gateway, int timeoutMs);
    /// Ends the exchange without a finished().
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void finished(const RouterAnswer& answer);

private:
    void step();
    void finish(const RouterAnswer& answer);

    struct Session;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<QSocketNotifier> m_readable;
    QTimer m_retry;
    QTimer m_deadline;
    bool m_running = false;
};
