#pragma once

#include "notify/NotificationHost.h"

class Form1;

/// The main window as the notifiers see it.
class Form1NotificationHost : public NotificationHost
{
public:
    explicit Form1NotificationHost(Form1& form) : m_form(form) {}

    void setStatus(const QString& text) override;
    QString status() const override;
    QString internalAddress() const override;
    QString externalAddress() const override;
    QString externalIPv6Address() const override;
    Settings& settings() override;
    NotifySettings& notifySettings() override;
    HttpGet& http() override;
    const ProductInfo& product() const override;
    PasswordStore* passwordStore() override { return m_passwords; }
    void setPasswordStore(PasswordStore* store) { m_passwords = store; }

    Form1& form() { return m_form; }

private:
    Form1& m_form;
    PasswordStore* m_passwords = nullptr;
};
