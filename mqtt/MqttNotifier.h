#pragma once

#include "notify/NotificationService.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class MqttSession;
class NotificationHost;
class PasswordStore;

/// The MQTT notification: publishes the addresses of @p host as one JSON message (QoS 1, retained unless switched
/// off) to the configured topic, with the Home Assistant discovery messages when they are switched on, and shows
/// how it went: "Publishing to the MQTT broker HOST:PORT", then "Success: ..." or "Error: ...". The password comes
/// from @p password (the keyring or the settings); it is never shown. Several sends may be under way at once.
class MqttNotifier : public QObject, public KindNotifier
{
    Q_OBJECT
public:
    MqttNotifier(NotificationHost& host, PasswordStore* password, QObject* parent = nullptr);
    ~MqttNotifier() override;

    void send(Notifiers::Done done) override;
    void abort() override;

    /// The external address before the change now being told (published as previous_external).
    void setPreviousExternal(const QString& address) { m_previousExternal = address; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    void start(Notifiers::Done done);

    NotificationHost& m_host;
    QPointer<PasswordStore> m_password;
    QString m_previousExternal;
    int m_timeoutMs;
    std::vector<std::unique_ptr<MqttSession>> m_sessions;
    std::vector<std::shared_ptr<std::optional<Notifiers::Done>>> m_waiting; // sends waiting for the password
};
