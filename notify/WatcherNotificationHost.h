#pragma once

#include "core/SettingsKeys.h"
#include "notify/NotificationHost.h"

#include <map>

class AddressWatcher;

/// The watcher as the notifiers see it: its status line, its addresses and its settings.
class WatcherNotificationHost : public NotificationHost
{
public:
    explicit WatcherNotificationHost(AddressWatcher& watcher) : m_watcher(watcher) {}

    /// The status line for a notice the watcher started; a test from the configuration dialog shows only there.
    void setStatus(const QString& text) override;
    QString status() const override;
    void watchStatus(QObject* context, std::function<void(const QString&)> show) override;
    QString internalAddress() const override;
    QString externalAddress() const override;
    QString externalIPv6Address() const override;
    QString previousInternalAddress() const override;
    QString previousExternalAddress() const override;
    QString previousExternalIPv6Address() const override;
    QString internalIPv6Address() const override;
    QString ipv6Prefix() const override;
    QString previousIPv6Prefix() const override;
    bool isExternalIPv6Temporary() const override;
    Settings& settings() override;
    NotifySettings& notifySettings() override;
    PasswordStore* passwordStore() override { return m_passwords; }
    void setPasswordStore(PasswordStore* store) { m_passwords = store; }
    PasswordStore* secretStore(Key fileKey) override
    {
        const auto found = m_secrets.find(fileKey);
        return found == m_secrets.end() ? NotificationHost::secretStore(fileKey) : found->second;
    }
    void setSecretStore(Key fileKey, PasswordStore* store) { m_secrets[fileKey] = store; }
    const ProductInfo& product() const override;

private:
    AddressWatcher& m_watcher;
    PasswordStore* m_passwords = nullptr;
    std::map<Key, PasswordStore*> m_secrets;
};
