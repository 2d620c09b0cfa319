#include "notify/WatcherNotificationHost.h"

#include "core/AddressWatcher.h"
#include "keyring/PasswordStore.h"

void WatcherNotificationHost::setStatus(const QString& text)
{
    m_watcher.showNotifierStatus(text);
}

QString WatcherNotificationHost::status() const
{
    return m_watcher.status();
}

void WatcherNotificationHost::watchStatus(QObject* context, std::function<void(const QString&)> show)
{
    QObject::connect(&m_watcher, &AddressWatcher::statusChanged, context, show);
    QObject::connect(&m_watcher, &AddressWatcher::notifierStatusShown, context, std::move(show));
}

QString WatcherNotificationHost::internalAddress() const
{
    return m_watcher.internalAddress();
}

QString WatcherNotificationHost::externalAddress() const
{
    return m_watcher.externalAddress();
}

QString WatcherNotificationHost::externalIPv6Address() const
{
    return m_watcher.externalIPv6Address();
}

QString WatcherNotificationHost::previousInternalAddress() const
{
    return m_watcher.previousInternalAddress();
}

QString WatcherNotificationHost::previousExternalAddress() const
{
    return m_watcher.previousExternalAddress();
}

QString WatcherNotificationHost::previousExternalIPv6Address() const
{
    return m_watcher.previousExternalIPv6Address();
}

Settings& WatcherNotificationHost::settings()
{
    return m_watcher.settings();
}

NotifySettings& WatcherNotificationHost::notifySettings()
{
    return m_watcher.notifySettings();
}

const ProductInfo& WatcherNotificationHost::product() const
{
    return m_watcher.product();
}

QString WatcherNotificationHost::internalIPv6Address() const
{
    return m_watcher.internalIPv6Address();
}

QString WatcherNotificationHost::ipv6Prefix() const
{
    return m_watcher.ipv6Prefix();
}

QString WatcherNotificationHost::previousIPv6Prefix() const
{
    return m_watcher.previousIPv6Prefix();
}

bool WatcherNotificationHost::isExternalIPv6Temporary() const
{
    return m_watcher.isExternalIPv6Temporary();
}
