#include "platform/NetworkChangeMonitor.h"

#include "platform/windows/SystemError.h"

#include <QLoggingCategory>
#include <QMetaObject>

// In this order: each needs the one before.
#include <winsock2.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

Q_DECLARE_LOGGING_CATEGORY(lcNetworkChange)

namespace {

/// The system's notifications of interface, address and route changes, registered for as long as this object
/// lives. Windows calls back on a thread of its own: each call only queues one event for the owner's thread.
class IpHelperNotifications : public QObject
{
public:
    IpHelperNotifications(std::function<void()> relevant, QObject* parent)
        : QObject(parent), m_relevant(std::move(relevant))
    {
    }
    ~IpHelperNotifications() override
    {
        // Waits for callbacks under way; none comes after it returns.
        for (HANDLE handle : {m_interfaces, m_addresses, m_routes}) {
            if (handle)
                CancelMibChangeNotify2(handle);
        }
    }

    bool start(QString* error)
    {
        ULONG rc = NotifyIpInterfaceChange(AF_UNSPEC, &IpHelperNotifications::onInterface, this, FALSE, &m_interfaces);
        if (rc == NO_ERROR)
            rc = NotifyUnicastIpAddressChange(AF_UNSPEC, &IpHelperNotifications::onAddress, this, FALSE, &m_addresses);
        if (rc == NO_ERROR)
            rc = NotifyRouteChange2(AF_UNSPEC, &IpHelperNotifications::onRoute, this, FALSE, &m_routes);
        if (rc != NO_ERROR)
            *error = QStringLiteral("network change notifications: %1").arg(systemErrorText(long(rc)));
        return rc == NO_ERROR;
    }

private:
    void post() { QMetaObject::invokeMethod(this, m_relevant, Qt::QueuedConnection); }
    static void WINAPI onInterface(void* self, MIB_IPINTERFACE_ROW*, MIB_NOTIFICATION_TYPE)
    {
        static_cast<IpHelperNotifications*>(self)->post();
    }
    static void WINAPI onAddress(void* self, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE)
    {
        static_cast<IpHelperNotifications*>(self)->post();
    }
    static void WINAPI onRoute(void* self, MIB_IPFORWARD_ROW2*, MIB_NOTIFICATION_TYPE)
    {
        static_cast<IpHelperNotifications*>(self)->post();
    }

    std::function<void()> m_relevant;
    HANDLE m_interfaces = nullptr;
    HANDLE m_addresses = nullptr;
    HANDLE m_routes = nullptr;
};

} // namespace

bool NetworkChangeMonitor::start(QString* error)
{
    if (m_started)
        return true;
    auto* notifications = new IpHelperNotifications([this] { settle(); }, this);
    if (!notifications->start(error)) {
        delete notifications;
        return false;
    }
    m_started = true;
    // Waking from sleep brings the adapters back up, which these notifications report.
    qCDebug(lcNetworkChange) << "watching the IP helper's notifications";
    return true;
}
