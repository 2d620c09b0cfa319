#pragma once

#include "TempConfigHome.h"
#include "app/NotifySettings.h"
#include "app/ProductInfo.h"
#include "app/Settings.h"
#include "notify/NotificationHost.h"
#include "platform/HttpGet.h"

#include <QStringList>

#include <memory>

/// The main window as the notifiers see it, for tests: a real store in a temporary folder, the
/// in-memory values loaded from it, real HTTP, fixed addresses, and every status text kept in order.
class TestNotificationHost : public NotificationHost
{
public:
    TestNotificationHost() : m_settings(m_home.settingsPath())
    {
        m_product.productName = QStringLiteral("Tarnwick IP Vistrel");
        m_product.companyName = QStringLiteral("Tarnwick Software");
        m_product.website = QStringLiteral("tarnwicksoftware.com");
        m_product.majorVersion = 3;
        m_product.minorVersion = 3;
        LoadNotifySettings(m_settings, m_values);
    }

    void setStatus(const QString& text) override
    {
        m_status = text;
        statuses << text;
    }
    QString status() const override { return m_status; }
    QString internalAddress() const override { return internal; }
    QString externalAddress() const override { return external; }
    Settings& settings() override { return m_settings; }
    NotifySettings& notifySettings() override { return m_values; }
    HttpGet& http() override { return m_http; }
    const ProductInfo& product() const override { return m_product; }

    /// Points the mail settings at a server on 127.0.0.1.
    void configureMail(quint16 port, bool auth, bool ssl, const QString& from, const QString& to, const QString& user,
                       const QString& password)
    {
        m_values.server = QStringLiteral("127.0.0.1");
        m_values.port = QString::number(port);
        m_values.emailFrom = from;
        m_values.emailTo = to;
        m_values.username = user;
        m_values.password = password;
        m_values.useAuth = auth;
        m_values.security = ssl ? MailSecurity::Ssl2 : MailSecurity::None;
    }

    QString internal = QStringLiteral("192.168.1.20");
    QString external = QStringLiteral("203.0.113.7");
    QStringList statuses;

private:
    TempConfigHome m_home;
    Settings m_settings;
    NotifySettings m_values;
    HttpGet m_http;
    ProductInfo m_product;
    QString m_status;
};
