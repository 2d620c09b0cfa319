#pragma once

#include "TempConfigHome.h"
#include "core/NotifySettings.h"
#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "notify/NotificationHost.h"

#include <QPointer>

#include <map>
#include <QStringList>

/// The main window as the notifiers see it: a real store, real HTTP, fixed addresses, statuses in order.
class TestNotificationHost : public NotificationHost
{
public:
    TestNotificationHost() : m_settings(m_home.settingsPath())
    {
        m_product = {QStringLiteral("Tarnwick IP Vistrel"), QStringLiteral("Tarnwick Software"),
                     QStringLiteral("tarnwicksoftware.com"), 3, 3};
        LoadNotifySettings(m_settings, m_values);
    }
    void setStatus(const QString& text) override
    {
        statuses << text;
        if (m_statusContext)
            m_showStatus(text);
    }
    void watchStatus(QObject* context, std::function<void(const QString&)> show) override
    {
        m_statusContext = context;
        m_showStatus = std::move(show);
    }
    QString status() const override { return statuses.value(statuses.size() - 1); }
    QString internalAddress() const override { return QStringLiteral("192.168.1.20"); }
    QString externalAddress() const override { return external; }
    QString externalIPv6Address() const override { return QStringLiteral("2001:db8::7"); }
    QString internalIPv6Address() const override { return internal6; }
    QString ipv6Prefix() const override { return prefix6; }
    QString previousExternalAddress() const override { return QStringLiteral("198.51.100.1"); }
    Settings& settings() override { return m_settings; }
    NotifySettings& notifySettings() override { return m_values; }
    const ProductInfo& product() const override { return m_product; }
    PasswordStore* secretStore(Key key) override
    {
        const auto found = stores.find(key);
        return found == stores.end() ? NotificationHost::secretStore(key) : found->second;
    }

    void configureMail(quint16 port, bool auth, MailSecurity security, const QString& user, const QString& password)
    {
        m_values.server = QStringLiteral("127.0.0.1");
        m_values.port = QString::number(port);
        m_values.emailFrom = QStringLiteral("ip@example.test");
        m_values.emailTo = QStringLiteral("owner@example.test");
        m_values.username = user;
        m_values.password = password;
        m_values.useAuth = auth;
        m_values.security = security;
    }

    QStringList statuses;
    QString external = QStringLiteral("203.0.113.7");
    QString internal6 = QStringLiteral("none"); // the machine's own stable IPv6 address
    QString prefix6 = QStringLiteral("none");
    std::map<Key, PasswordStore*> stores; // the keyring's secrets by their settings key

private:
    QPointer<QObject> m_statusContext;
    std::function<void(const QString&)> m_showStatus;
    TempConfigHome m_home;
    Settings m_settings;
    NotifySettings m_values;
    ProductInfo m_product;
};
