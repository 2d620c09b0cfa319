#pragma once

#include "core/Notifiers.h"

#include <QSet>

#include <functional>

class NotificationHost;
class NotificationService;

/// The web requests that go after lookups rather than on a change: health checks that expect to hear of every
/// lookup, or of the failed ones (WebEntries::sends). Each ping is sent through the service like any web request,
/// but it is never pending and never waited for: a lookup does not wait for its pings, and a ping still under way
/// when the next lookup ends is not sent twice; that lookup's ping is skipped, the next one goes.
class WebPings
{
public:
    /// What came of each ping (for counting).
    using Counted = std::function<void(const NotificationResult& result)>;

    WebPings(NotificationService& service, NotificationHost& host);

    void setCounted(Counted counted) { m_counted = std::move(counted); }
    /// A lookup ended, @p ok or failed: each entry switched on that pings then is sent to its URL for it.
    void lookupEnded(bool ok);

private:
    void ping(int entry, const QString& url);

    NotificationService& m_service;
    NotificationHost& m_host;
    Counted m_counted;
    QSet<int> m_running; // entries whose ping is under way
};
