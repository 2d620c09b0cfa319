#pragma once

#include <functional>

class NotificationHost;

/// The web notification: requests the configured URL with the addresses filled in and shows the
/// response body in the status line.
class WebNotifier
{
public:
    explicit WebNotifier(NotificationHost& host) : m_host(host) {}

    /// Requests the URL; @p done (when set) runs once with whether the server took the notification.
    void doHitURL(std::function<void(bool ok)> done = {});

private:
    NotificationHost& m_host;
};
