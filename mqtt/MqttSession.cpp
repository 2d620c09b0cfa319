#include "mqtt/MqttSession.h"

#include "mqtt/MqttRelay.h"

#include <QLoggingCategory>
#include <QPromise>

#include <mosquitto.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

Q_LOGGING_CATEGORY(lcMqtt, "vistrel.mqtt")

namespace {
constexpr int KeepAliveSeconds = 60;
constexpr int MiscIntervalMs = 1000; // mosquitto_loop_misc: keep-alive and time-outs, at most once a second

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}
} // namespace

struct MqttSession::Shared
{
    mosquitto* mosq = nullptr;
    MqttSession* session = nullptr;             // set and read on the main thread only
    std::atomic<bool> hostNameMismatch = false; // the library's log said so, on any thread

    ~Shared()
    {
        if (mosq)
            mosquitto_destroy(mosq);
    }
};

MqttSession::MqttSession(MqttTarget target, QList<MqttMessage> messages, bool retain, QObject* parent)
    : QObject(parent), m_target(std::move(target)), m_messages(std::move(messages)), m_retain(retain),
      m_shared(std::make_shared<Shared>())
{
    initLibrary();
    m_misc.setInterval(MiscIntervalMs);
    connect(&m_misc, &QTimer::timeout, this, [this] { checkLoop(mosquitto_loop_misc(m_shared->mosq)); });
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("Error: No answer from the MQTT broker %1 within %2 seconds")
                 .arg(brokerText())
                 .arg(m_timeoutMs / 1000));
    });
    connect(&m_connecting, &QFutureWatcher<ConnectResult>::finished, this,
            [this] { connected(m_connecting.result()); });
}

MqttSession::~MqttSession()
{
    if (m_relay)
        m_relay->windDown();
    m_read.reset();
    m_write.reset();
    m_shared->session = nullptr;
}

QString MqttSession::brokerText() const
{
    return (m_target.host.contains(u':') ? u'[' + m_target.host + u']' : m_target.host) + u':' +
           QString::number(m_target.port);
}

void MqttSession::start()
{
    m_timeout.start(m_timeoutMs);
    // A client id of the library's choosing, a clean session: nothing is kept at the broker but the retained messages.
    m_shared->mosq = mosquitto_new(nullptr, true, m_shared.get());
    if (!m_shared->mosq)
        return fail(QStringLiteral("Error: The MQTT client could not be created"));
    m_shared->session = this;
    mosquitto* mosq = m_shared->mosq;
    mosquitto_connect_callback_set(mosq, &MqttSession::onConnect);
    mosquitto_publish_callback_set(mosq, &MqttSession::onPublish);
    mosquitto_disconnect_callback_set(mosq, &MqttSession::onDisconnect);
    mosquitto_log_callback_set(mosq, &MqttSession::onLog);
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!m_target.user.isEmpty()) {
        const QByteArray user = m_target.user.toUtf8();
        const QByteArray password = m_target.password.toUtf8();
        mosquitto_username_pw_set(mosq, user.constData(), m_target.password.isEmpty() ? nullptr : password.constData());
    }
    if (m_target.tls) {
        // The system's certificate authorities, and the user's CA file besides; never without verification.
        mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (!m_target.caFile.isEmpty()) {
            const QByteArray caFile = m_target.caFile.toLocal8Bit();
            if (mosquitto_tls_set(mosq, caFile.constData(), nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
                return fail(QStringLiteral("Error: The MQTT CA file cannot be read: ") + m_target.caFile);
        }
        mosquitto_tls_insecure_set(mosq, false);
    }
    for (const MqttMessage& message : std::as_const(m_messages)) {
        if (const QString problem = mqttTopicProblem(message.topic); !problem.isEmpty())
            return fail(QStringLiteral("Error: The MQTT topic \"%1\" is not valid (%2)")
                            .arg(mqttShownTopic(message.topic), problem));
    }
    // The library reaches the broker through a relay of ours that bounds what the broker may send; it still names
    // the broker in its request and verifies the broker's certificate for that name.
    m_relay = new MqttRelay(m_target.host, quint16(m_target.port), brokerText(), this);
    connect(m_relay, &MqttRelay::failed, this, [this](const QString& status) { fail(status); });
    if (!m_relay->listen() || mosquitto_socks5_set(mosq, "127.0.0.1", m_relay->port(), nullptr, nullptr) != 0)
        return fail(QStringLiteral("Error: The MQTT client could not be created"));
    qCDebug(lcMqtt) << "connecting to" << brokerText() << (m_target.tls ? "with TLS" : "without TLS");
    // mosquitto_connect blocks (now only for the connect to the relay and the proxy greeting): a thread of its own
    // does it, the event loop goes on. It keeps the client alive until it returns, even when this session has ended
    // (timed out, aborted) meanwhile, and nobody waits for it.
    QPromise<ConnectResult> promise;
    m_connecting.setFuture(promise.future());
    std::thread([shared = m_shared, host = m_target.host.toUtf8(), port = m_target.port,
                 promise = std::move(promise)]() mutable {
        promise.start();
        ConnectResult result;
        result.rc = mosquitto_connect(shared->mosq, host.constData(), port, KeepAliveSeconds);
        result.error = errno;
        promise.addResult(result);
        promise.finish();
    }).detach();
}

void MqttSession::connected(ConnectResult result)
{
    if (m_done)
        return;
    if (result.rc != MOSQ_ERR_SUCCESS)
        return fail(connectFailure(result));
    const int socket = mosquitto_socket(m_shared->mosq);
    if (socket < 0)
        return fail(QStringLiteral("Error: No connection to the MQTT broker ") + brokerText());
    m_read = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    m_write = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    connect(m_read.get(), &QSocketNotifier::activated, this, &MqttSession::readable);
    connect(m_write.get(), &QSocketNotifier::activated, this, &MqttSession::writable);
    m_misc.start();
    // What came while the connect thread ran (the broker's answer, or the connection's end) is read now: Windows tells
    // a socket's notifier of a change once, and not of one that came before the notifier.
    readable();
}

void MqttSession::readable()
{
    const int rc = mosquitto_loop_read(m_shared->mosq, 1);
    // The DISCONNECT queued by the last PUBACK's callback: written here, outside the library's lock.
    if (std::exchange(m_sayGoodbye, false))
        mosquitto_loop_write(m_shared->mosq, 1);
    checkLoop(rc);
}

void MqttSession::writable()
{
    checkLoop(mosquitto_loop_write(m_shared->mosq, 1));
}

void MqttSession::watchWrites()
{
    if (!m_done && m_write)
        m_write->setEnabled(mosquitto_want_write(m_shared->mosq));
}

void MqttSession::checkLoop(int rc)
{
    if (m_done)
        return;
    switch (rc) {
    case MOSQ_ERR_SUCCESS:
        return watchWrites();
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        return fail(connectFailure({rc, 0}));
    case MOSQ_ERR_ERRNO:
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return watchWrites();
        return fail(QStringLiteral("Error: The connection to the MQTT broker %1 failed (%2)")
                        .arg(brokerText(), QString::fromLocal8Bit(std::strerror(errno))));
    default:
        return fail(QStringLiteral("Error: The MQTT broker %1 closed the connection").arg(brokerText()));
    }
}

QString MqttSession::connectFailure(ConnectResult result) const
{
    switch (result.rc) {
    case MOSQ_ERR_EAI:
    case MOSQ_ERR_LOOKUP:
        return QStringLiteral("Error: The MQTT broker's name %1 was not found").arg(m_target.host);
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        if (m_shared->hostNameMismatch)
            return QStringLiteral("Error: The MQTT broker's certificate is not for %1 (host name mismatch)")
                .arg(m_target.host);
        return QStringLiteral("Error: The MQTT broker's certificate is not trusted, or TLS failed with %1")
            .arg(brokerText());
    case MOSQ_ERR_ERRNO:
        return QStringLiteral("Error: No connection to the MQTT broker %1 (%2)")
            .arg(brokerText(), QString::fromLocal8Bit(std::strerror(result.error)));
    default:
        return QStringLiteral("Error: No connection to the MQTT broker %1 (%2)")
            .arg(brokerText(), QString::fromUtf8(mosquitto_strerror(result.rc)));
    }
}

void MqttSession::brokerAnswered(int rc)
{
    if (m_done)
        return;
    // MQTT 3.1.1 section 3.2.2.3: the CONNACK return codes.
    if (rc == 4 || rc == 5) {
        return fail(QStringLiteral("Error: The MQTT broker %1 refused the user name or password (not authorised)")
                        .arg(brokerText()),
                    NotificationResult::Category::Authentication);
    }
    if (rc != 0)
        return fail(QStringLiteral("Error: The MQTT broker %1 refused the connection (%2)")
                        .arg(brokerText(), QString::fromUtf8(mosquitto_connack_string(rc))));
    qCDebug(lcMqtt) << "connected; publishing" << m_messages.size() << "messages";
    for (const MqttMessage& message : std::as_const(m_messages)) {
        int mid = 0;
        const int published = mosquitto_publish(m_shared->mosq, &mid, message.topic.toUtf8().constData(),
                                                int(message.payload.size()), message.payload.constData(), 1, m_retain);
        if (published != MOSQ_ERR_SUCCESS)
            return fail(QStringLiteral("Error: The MQTT message to %1 could not be sent (%2)")
                            .arg(message.topic, QString::fromUtf8(mosquitto_strerror(published))));
        m_unacknowledged.insert(mid);
    }
    watchWrites();
}

void MqttSession::acknowledged(int mid)
{
    if (m_done || m_unacknowledged.erase(mid) == 0 || !m_unacknowledged.empty())
        return;
    // Every PUBACK is in: say goodbye properly (the DISCONNECT is small, the socket takes it at once).
    mosquitto_disconnect(m_shared->mosq);
    m_sayGoodbye = true;
    finish(NotificationResult::delivered());
}

void MqttSession::abort()
{
    if (!m_done)
        finish(NotificationResult::givenUp());
}

void MqttSession::fail(const QString& status, NotificationResult::Category category)
{
    if (m_done)
        return;
    NotificationResult result = NotificationResult::failed(status);
    result.category = category;
    finish(result);
}

void MqttSession::finish(const NotificationResult& result)
{
    m_done = true;
    m_timeout.stop();
    m_misc.stop();
    if (m_read)
        m_read->setEnabled(false);
    if (m_write)
        m_write->setEnabled(false);
    qCDebug(lcMqtt) << "finished:" << int(result.outcome) << result.message;
    emit finished(result);
}

void MqttSession::onConnect(mosquitto*, void* shared, int rc)
{
    if (MqttSession* session = static_cast<Shared*>(shared)->session)
        session->brokerAnswered(rc);
}

void MqttSession::onPublish(mosquitto*, void* shared, int mid)
{
    if (MqttSession* session = static_cast<Shared*>(shared)->session)
        session->acknowledged(mid);
}

void MqttSession::onDisconnect(mosquitto*, void* shared, int rc)
{
    MqttSession* session = static_cast<Shared*>(shared)->session;
    if (session && rc != 0)
        session->fail(QStringLiteral("Error: The MQTT broker %1 closed the connection").arg(session->brokerText()));
}

void MqttSession::onLog(mosquitto*, void* shared, int level, const char* text)
{
    // Runs on the connect thread too: only the flag is touched. The library logs no passwords; the text stays
    // in the debug log all the same, never in a status line.
    if (level == MOSQ_LOG_ERR && std::strstr(text, "host name verification failed"))
        static_cast<Shared*>(shared)->hostNameMismatch = true;
}
