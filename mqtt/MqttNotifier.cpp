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

MqttNotifier::MqttNotifier(NotificationHost& host, QObject* parent)
    : QObject(parent), m_host(host), m_timeoutMs(MqttSession::DefaultTimeoutMs)
{
}

MqttNotifier::~MqttNotifier() = default;

void MqttNotifier::send(const NoticeSend& send, Notifiers::Done done)
{
    const Settings& settings = m_host.settings();
    MqttTarget target;
    target.host = settings.read(Key::MqttHost).trimmed();
    target.tls = settings.readFlag(Key::MqttTls);
    const int port = settings.readInt(Key::MqttPort);
    target.port = port > 0 ? port : (target.tls ? TlsPort : PlainPort);
    target.caFile = settings.read(Key::MqttCaFile).trimmed();
    target.user = settings.read(Key::MqttUser);
    const PasswordStore* password = m_host.secretStore(Key::MqttPassword);
    target.password = password ? password->password() : settings.read(Key::MqttPassword);
    if (target.host.isEmpty()) {
        const QString status = QStringLiteral("Error: Please enter an MQTT broker");
        m_host.setStatus(status);
        if (done)
            done(NotificationResult::misconfigured(status));
        return;
    }

    const QString topic = settings.read(Key::MqttTopic).trimmed();
    const MqttAddresses addresses{send.addresses.internal, send.addresses.external, send.addresses.external6,
                                  send.addresses.previousExternal, QDateTime::currentDateTimeUtc()};
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
                                                [started](const Running& r) { return r.session.get() == started; });
                if (found != m_sessions.end()) {
                    found->session.release()->deleteLater(); // it may be inside a libmosquitto callback now
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
    m_sessions.push_back({send.run, std::move(session)});
    m_host.setStatus(QStringLiteral("Publishing to the MQTT broker ") + started->brokerText());
    started->start();
}

void MqttNotifier::abort(quint64 run)
{
    // Its finished() removes it from the list.
    for (const Running& running : m_sessions) {
        if (running.run == run)
            return running.session->abort();
    }
}
