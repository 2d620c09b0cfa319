#include "notify/WebPings.h"

#include "core/NotifySettings.h"
#include "core/Settings.h"
#include "notify/NotificationHost.h"
#include "notify/NotificationService.h"
#include "notify/WebEntries.h"

WebPings::WebPings(NotificationService& service, NotificationHost& host) : m_service(service), m_host(host)
{
}

void WebPings::lookupEnded(bool ok)
{
    Settings& settings = m_host.settings();
    if (settings.readFlag(Key::WebNotify))
        ping(0, WebEntries::pingUrl(settings, 0, m_host.notifySettings().url, ok));
    for (int entry = WebEntries::First; entry <= WebEntries::Last; ++entry) {
        QString error;
        const std::optional<WebRequest> request = WebEntries::load(settings, entry, &error);
        if (request && request->on)
            ping(entry, WebEntries::pingUrl(settings, entry, request->url, ok));
    }
}

void WebPings::ping(int entry, const QString& url)
{
    if (url.trimmed().isEmpty() || m_running.contains(entry))
        return;
    m_running.insert(entry);
    m_service.ping(Notifiers::Kind::Web, entry, url, [this, entry](const NotificationResult& result) {
        m_running.remove(entry);
        if (m_counted)
            m_counted(result);
    });
}
