#include "notify/Form1NotificationHost.h"

#include "app/Form1.h"

void Form1NotificationHost::setStatus(const QString& text)
{
    m_form.setStatus(text);
}

QString Form1NotificationHost::status() const
{
    return m_form.status();
}

QString Form1NotificationHost::internalAddress() const
{
    return m_form.internalAddress();
}

QString Form1NotificationHost::externalAddress() const
{
    return m_form.externalAddress();
}

QString Form1NotificationHost::externalIPv6Address() const
{
    return m_form.externalIPv6Address();
}

Settings& Form1NotificationHost::settings()
{
    return m_form.settings();
}

NotifySettings& Form1NotificationHost::notifySettings()
{
    return m_form.notifySettings();
}

HttpGet& Form1NotificationHost::http()
{
    return m_form.http();
}

const ProductInfo& Form1NotificationHost::product() const
{
    return m_form.product();
}
