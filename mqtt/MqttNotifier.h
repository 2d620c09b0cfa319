#pragma once

#include "notify/KindNotifier.h"

#include <QObject>

#include <memory>
#include <vector>

class MqttSession;
class NotificationHost;

/// The MQTT notification: publishes the addresses of a send as one JSON message (QoS 1, retained unless switched
/// off) to the configured topic, with the Home Assistant discovery messages when they are switched on, and shows
/// how it went: "Publishing to the MQTT broker HOST:PORT", then "Success: ..." or "Error: ...". The password comes
/// from the keyring or the settings; it is never shown. Several sends may be under way at once.
class MqttNotifier : public QObject, public KindNotifier
{
    Q_OBJECT
public:
    explicit MqttNotifier(NotificationHost& host, QObject* parent = nullptr);
    ~MqttNotifier() override;

    /// Several at once, past the session's own limit (which says what the broker did not answer).
    Traits traits(int) const override
    {
        return {QStringLiteral("MQTT"), Concurrency::Parallel, m_timeoutMs + 1000, {Key::MqttPassword}};
    }
    void send(const NoticeSend& send, Notifiers::Done done) override;
    void abort(quint64 run) override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    struct Running
    {
        quint64 run;
        std::unique_ptr<MqttSession> session;
    };

    NotificationHost& m_host;
    int m_timeoutMs;
    std::vector<Running> m_sessions;
};
