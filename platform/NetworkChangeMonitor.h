#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

/// Tells when the machine's addresses or routes changed or the machine woke from sleep (on Linux the kernel's
/// NETLINK_ROUTE notifications and logind's PrepareForSleep(false) on the system bus). A burst of notifications
/// within the settle time gives one changed(). Costs nothing while nothing changes.
class NetworkChangeMonitor : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultSettleMs = 300;
    static constexpr int MaxDelayMs = 800;

    explicit NetworkChangeMonitor(QObject* parent = nullptr);
    ~NetworkChangeMonitor() override;

    /// Starts watching. False and @p error when the system's change events cannot be had; a missing resume signal
    /// is no error (there is then none).
    [[nodiscard]] bool start(QString* error);

signals:
    void changed();

private slots:
    /// The system goes to sleep (@p sleeping) or has woken up.
    void prepareForSleep(bool sleeping);

private:
    /// One event that may have changed the addresses: changed() follows once its burst is over.
    void settle();

    bool m_started = false;
    QTimer m_settle;
    QElapsedTimer m_burst;
};
