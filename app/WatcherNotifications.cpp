#include "app/WatcherNotifications.h"

#include "app/DnsUpdateWiring.h"
#include "app/MqttWiring.h"

#include "core/AddressWatcher.h"
#include "core/ProductInfo.h"
#include "core/MessageBox.h"

#include <QCoreApplication>

WatcherNotifications::WatcherNotifications(AddressWatcher& watcher, Settings& settings, MessageBox* messageBox)
    : host(watcher), passwords(LoadProductInfo().productName, settings),
      mqttPassword(LoadProductInfo().productName, settings, nullptr, Key::MqttPassword,
                   QStringLiteral("MQTT password")),
      service(host, launcher),
      secureMail([&watcher](const QString& text) { watcher.showNotifierStatus(text); })
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
    host.setPasswordStore(&passwords);
    service.setSecureTransport(&secureMail);
    QObject::connect(&mqttPassword, &PasswordStore::notice, &watcher, &AddressWatcher::setStatus);
    host.setSecretStore(Key::MqttPassword, &mqttPassword);
    mqtt = makeMqttNotifier(watcher, host, mqttPassword);
    service.setNotifier(Notifiers::Kind::Mqtt, mqtt.get());
    dnsUpdate = wireDnsUpdate(watcher, settings, host, service);
    watcher.setNotifiers(&service);
}

void WatcherNotifications::startPasswords()
{
    passwords.start();
    mqttPassword.start();
}

WatcherNotifications::~WatcherNotifications()
{
    // A failure in the last event before the loop ended (--once) is still shown, or logged.
    QCoreApplication::sendPostedEvents(&secureMail, QEvent::MetaCall);
}
