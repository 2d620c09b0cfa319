#pragma once

class NotificationHost;

/// The web notification: requests the configured URL with the addresses filled in and shows the
/// response body in the status line.
class WebNotifier
{
public:
    explicit WebNotifier(NotificationHost& host) : m_host(host) {}

    void doHitURL();

private:
    NotificationHost& m_host;
};
