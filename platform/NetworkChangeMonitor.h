#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

/// Tells when the machine's addresses or routes changed (the kernel's NETLINK_ROUTE notifications)
/// or the machine woke from sleep (logind's PrepareForSleep(false) on the system bus). A burst of
/// notifications within the settle time gives one changed(). Costs nothing while nothing changes.
class NetworkChangeMonitor : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultSettleMs = 300;
    static constexpr int MaxDelayMs = 800;

    explicit NetworkChangeMonitor(QObject* parent = nullptr);
    ~NetworkChangeMonitor() override;

    /// Opens the netlink socket and subscribes to the bus signal. False and @p error when the netlink
    /// socket cannot be opened; a missing system bus is no error (there is then no resume signal).
    [[nodiscard]] bool start(QString* error);

signals:
    void changed();

private slots:
    void prepareForSleep(bool sleeping);

private:
    void readNetlink();
    void settle();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_settle;
    QElapsedTimer m_burst;
    bool m_resumeSubscribed = false;
};
