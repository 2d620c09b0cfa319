#pragma once

#include "core/NotificationResult.h"
#include "mqtt/MqttMessages.h"

#include <QFutureWatcher>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>
#include <set>

class MqttRelay;
struct mosquitto;

/// Where and as whom an MQTT session connects.
struct MqttTarget
{
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile;   // trusted besides the system's certificates; empty: the system's only
    QString user;     // empty: anonymous
    QString password; // never shown or logged
};

/// One MQTT session through libmosquitto: connects, publishes its messages with QoS 1, waits for every PUBACK,
/// disconnects and reports once through finished(). The library reaches the broker through an MqttRelay (its SOCKS5
/// proxy on loopback, which looks the broker up and connects without blocking, and cuts off a broker that sends
/// more than a publisher is owed); the library's own connect to the relay runs on a thread of its own. The TLS
/// handshake and the MQTT exchange run in the event loop on the socket's QSocketNotifiers, with
/// mosquitto_loop_misc once a second while connected. TLS always verifies the broker's certificate and its host
/// name.
class MqttSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 30000;

    MqttSession(MqttTarget target, QList<MqttMessage> messages, bool retain, QObject* parent = nullptr);
    ~MqttSession() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    /// Starts and returns; finished() follows, possibly before this returns.
    void start();
    /// Ends it: finished() reports it given up.
    void abort();

    /// host:port as shown in status lines.
    QString brokerText() const;

signals:
    void finished(const NotificationResult& result);

private:
    struct Shared;
    struct ConnectResult
    {
        int rc = 0;
        int error = 0; // errno for MOSQ_ERR_ERRNO
    };

    static void onConnect(mosquitto*, void* shared, int rc);
    static void onPublish(mosquitto*, void* shared, int mid);
    static void onDisconnect(mosquitto*, void* shared, int rc);
    static void onLog(mosquitto*, void* shared, int level, const char* text);

    void connected(ConnectResult result);
    void brokerAnswered(int rc);
    void acknowledged(int mid);
    void readable();
    void writable();
    void checkLoop(int rc);
    void watchWrites();
    void fail(const QString& status,
              NotificationResult::Category category = NotificationResult::Category::Transient);
    void finish(const NotificationResult& result);
    QString connectFailure(ConnectResult result) const;

    MqttTarget m_target;
    QList<MqttMessage> m_messages;
    bool m_retain;
    int m_timeoutMs = DefaultTimeoutMs;
    std::shared_ptr<Shared> m_shared; // outlives this while the connect thread runs
    QFutureWatcher<ConnectResult> m_connecting;
    std::unique_ptr<QSocketNotifier> m_read;
    std::unique_ptr<QSocketNotifier> m_write;
    QTimer m_misc;
    QTimer m_timeout;
    MqttRelay* m_relay = nullptr; // a child until this ends; then it winds down by itself
    std::set<int> m_unacknowledged;
    bool m_done = false;
    bool m_sayGoodbye = false; // a DISCONNECT waits to be written
};
