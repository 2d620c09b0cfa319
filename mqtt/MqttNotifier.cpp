#include "mqtt/MqttNotifier.h"

#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "mqtt/MqttSession.h"
#include "notify/NotificationHost.h"

#include <QDateTime>
#include <QSysInfo>

#include <algorithm>
#include <utility>

namespace {
constexpr int PlainPort = 1883; // IANA "mqtt"
constexpr int TlsPort = 8883;   // IANA "secure-mqtt"
} // namespace

MqttNotifier::MqttNotifier(NotificationHost& host, PasswordStore* password, QObject* parent)
    : QObject(parent), m_host(host), m_password(password), m_timeoutMs(MqttSession::DefaultTimeoutMs)
{
}

MqttNotifier::~MqttNotifier() = default;

void MqttNotifier::send(Notifiers::Done done)
{
    if (m_password && !m_password->isReady()) {
        // Asked for before the keyring answered: it starts once the password is known.
        auto waiting = std::make_shared<std::optional<Notifiers::Done>>(std::move(done));
        m_waiting.push_back(waiting);
        m_password->whenReady(this, [this, waiting] {
            std::erase(m_waiting, waiting);
            if (waiting->has_value()) // not given up by abort() meanwhile
                start(std::move(**waiting));
        });
        return;
    }
    start(std::move(done));
}

void MqttNotifier::start(Notifiers::Done done)
{
    const Settings& settings = m_host.settings();
    MqttTarget target;
    target.host = settings.read(Key::MqttHost).trimmed();
    target.tls = settings.readFlag(Key::MqttTls);
    const int port = settings.readInt(Key::MqttPort);
    target.port = port > 0 ? port : (target.tls ? TlsPort : PlainPort);
    target.caFile = settings.read(Key::MqttCaFile).trimmed();
    target.user = settings.read(Key::MqttUser);
    target.password = m_password ? m_password->password() : settings.read(Key::MqttPassword);
    if (target.host.isEmpty()) {
        const QString status = QStringLiteral("Error: Please enter an MQTT broker");
        m_host.setStatus(status);
        if (done)
            done(NotificationResult::failed(status));
        return;
    }

    const QString topic = settings.read(Key::MqttTopic).trimmed();
    const MqttAddresses addresses{m_host.internalAddress(), m_host.externalAddress(), m_host.externalIPv6Address(),
                                  m_previousExternal, QDateTime::currentDateTimeUtc()};
    QList<MqttMessage> messages{{topic, mqttStatePayload(addresses)}};
    const bool discovery = settings.readFlag(Key::MqttDiscovery);
    if (discovery) {
        const QString prefix = settings.read(Key::MqttDiscoveryPrefix).trimmed();
        messages += mqttDiscoveryMessages(prefix.isEmpty() ? QStringLiteral("homeassistant") : prefix,
                                          mqttNodeId(QSysInfo::machineHostName()), topic, m_host.product());
    }

    auto session =
        std::make_unique<MqttSession>(std::move(target), std::move(messages), settings.readFlag(Key::MqttRetain));
    session->setTimeoutMs(m_timeoutMs);
    MqttSession* started = session.get();
    const QString success = QStringLiteral("Success: MQTT message published to %1 on %2%3")
                                .arg(topic, started->brokerText(),
                                     discovery ? QStringLiteral(" (with Home Assistant discovery)") : QString());
    connect(started, &MqttSession::finished, this,
            [this, started, success, done = std::move(done)](const NotificationResult& result) {
                const auto found = std::find_if(m_sessions.begin(), m_sessions.end(),
                                                [started](const auto& s) { return s.get() == started; });
                if (found != m_sessions.end()) {
                    found->release()->deleteLater(); // it may be inside a libmosquitto callback now
                    m_sessions.erase(found);
                }
                if (result.outcome == NotificationResult::Outcome::GivenUp) {
                    if (done)
                        done(result);
                    return;
                }
                const NotificationResult shown = result.ok() ? NotificationResult::delivered(success) : result;
                m_host.setStatus(shown.message);
                if (done)
                    done(shown);
            });
    m_sessions.push_back(std::move(session));
    m_host.setStatus(QStringLiteral("Publishing to the MQTT broker ") + started->brokerText());
    started->start();
}

void MqttNotifier::abort()
{
    for (const auto& waiting : std::exchange(m_waiting, {})) {
        Notifiers::Done done = std::move(waiting->value());
        waiting->reset();
        if (done)
            done(NotificationResult::givenUp());
    }
    // Each session's finished() removes it from the list.
    std::vector<MqttSession*> running;
    for (const auto& session : m_sessions)
        running.push_back(session.get());
    for (MqttSession* session : running)
        session->abort();
}
