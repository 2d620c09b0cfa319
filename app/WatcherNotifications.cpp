#include "app/WatcherNotifications.h"

#include "app/DnsUpdateWiring.h"
#include "app/MqttWiring.h"

#include "core/AddressWatcher.h"
#include "core/MessageBox.h"
#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "notify/WebEntries.h"

#include <QCoreApplication>

WatcherNotifications::WatcherNotifications(AddressWatcher& watcher, Settings& settings, MessageBox* messageBox)
    : host(watcher), passwords(LoadProductInfo().productName, settings),
      mqttPassword(LoadProductInfo().productName, settings, nullptr, Key::MqttPassword,
                   QStringLiteral("MQTT password")),
      service(host, launcher), secureMail([&watcher](const QString& text) { watcher.showNotifierStatus(text); }),
      dnsApiToken(LoadProductInfo().productName, settings, nullptr, Key::DnsApiToken, QStringLiteral("DNS API token")),
      dnsApi(host, dnsApiToken)
{
    // The SSL 2.0 channel's failures open their message box once its socket's event has been handled; the
    // session has ended by then, with the failure on the status line.
    if (messageBox) {
        QObject::connect(
            &secureMail, &MailTransport::failed, &secureMail,
            [messageBox](const QString& reason) { messageBox->show(reason, MessageBox::Icon::Critical); },
            Qt::QueuedConnection);
    }
    QObject::connect(&passwords, &PasswordStore::passwordKnown, &watcher,
                     [&watcher](const QString& password) { watcher.notifySettings().password = password; });
    QObject::connect(&passwords, &PasswordStore::notice, &watcher, &AddressWatcher::setStatus);
    QObject::connect(&dnsApiToken, &PasswordStore::notice, &watcher, &AddressWatcher::setStatus);
    host.setPasswordStore(&passwords);
    QList<PasswordStore*> stores{nullptr};
    for (int entry = WebEntries::First; entry <= WebEntries::Last; ++entry) {
        webSecrets[size_t(entry)] =
            std::make_unique<PasswordStore>(LoadProductInfo().productName, settings, nullptr,
                                            WebEntries::secretKey(entry), WebEntries::keyringKey(entry));
        QObject::connect(webSecrets[size_t(entry)].get(), &PasswordStore::notice, &watcher, &AddressWatcher::setStatus);
        stores.append(webSecrets[size_t(entry)].get());
    }
    host.setWebSecretStores(stores);
    host.setSecretStore(Key::DnsApiToken, &dnsApiToken);
    service.setNotifier(Notifiers::Kind::Cloudflare, &dnsApi);
    service.setSecureTransport(&secureMail);
    QObject::connect(&mqttPassword, &PasswordStore::notice, &watcher, &AddressWatcher::setStatus);
    host.setSecretStore(Key::MqttPassword, &mqttPassword);
    mqtt = makeMqttNotifier(watcher, host, mqttPassword);
    service.setNotifier(Notifiers::Kind::Mqtt, mqtt.get());
    dnsUpdate = wireDnsUpdate(watcher, settings, host, service);
    watcher.setNotifiers(&service);
}

void WatcherNotifications::startSecrets()
{
    passwords.start();
    mqttPassword.start();
    dnsApiToken.start();
    Settings& settings = host.settings();
    for (int entry = WebEntries::First; entry <= WebEntries::Last; ++entry) {
        // Only where there is a request: nine keyring look-ups at each start for nothing would slow it.
        if (!settings.read(WebEntries::requestKey(entry)).isEmpty())
            webSecrets[size_t(entry)]->start();
    }
}

WatcherNotifications::~WatcherNotifications()
{
    // A failure in the last event before the loop ended (--once) is still shown, or logged.
    QCoreApplication::sendPostedEvents(&secureMail, QEvent::MetaCall);
}
