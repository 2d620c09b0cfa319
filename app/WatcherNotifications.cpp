#include "app/WatcherNotifications.h"

#include "app/KindWiring.h"

#include "core/AddressWatcher.h"
#include "core/MessageBox.h"
#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "dnsapi/DnsHostEntry.h"
#include "dnsapi/DnsHostNotifier.h"
#include "notify/WebEntries.h"

#include <QCoreApplication>

#include <optional>

WatcherNotifications::WatcherNotifications(AddressWatcher& watcher, Settings& settings, MessageBox* messageBox)
    : host(watcher), passwords(LoadProductInfo().productName, settings), service(host, launcher),
      secureMail([&watcher](const QString& text) { watcher.showNotifierStatus(text); }), pings(service, service.host())
{
    QObject::connect(&watcher, &AddressWatcher::lookupFinished, &watcher, [this](bool ok) { pings.lookupEnded(ok); });
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
    for (int entry = WebEntries::First; entry <= WebEntries::Last; ++entry)
        keepSecret(watcher, settings, WebEntries::secretKey(entry), WebEntries::keyringKey(entry));
    keepSecret(watcher, settings, Key::MqttPassword, QStringLiteral("MQTT password"));
    keepSecret(watcher, settings, Key::DnsUpdateKeySecret, QStringLiteral("DNS update key"));
    for (int entry = DnsHostEntries::First; entry <= DnsHostEntries::Last; ++entry)
        keepSecret(watcher, settings, DnsHostEntries::secretKey(entry), DnsHostEntries::keyringKey(entry));
    // Made at their first send: a run that sends neither loads neither's library.
    service.setNotifierMaker(Notifiers::Kind::Mqtt, [this] { return makeMqttNotifier(service.host()); });
    service.setNotifierMaker(Notifiers::Kind::DnsUpdate, [this] { return makeDnsUpdateNotifier(service.host()); });
    service.setNotifier(Notifiers::Kind::DnsHosts, std::make_unique<DnsHostNotifier>(service.host()));
    service.setSecureTransport(&secureMail);
    watcher.setNotifiers(&service);
}

void WatcherNotifications::keepSecret(AddressWatcher& watcher, Settings& settings, Key fileKey,
                                      const QString& keyringKey)
{
    auto& store = *secrets.emplace_back(
        std::make_unique<PasswordStore>(LoadProductInfo().productName, settings, nullptr, fileKey, keyringKey));
    QObject::connect(&store, &PasswordStore::notice, &watcher, &AddressWatcher::setStatus);
    host.setSecretStore(fileKey, &store);
}

void WatcherNotifications::startSecrets()
{
    passwords.start();
    Settings& settings = host.settings();
    for (const std::unique_ptr<PasswordStore>& store : secrets) {
        // A web request's or a DNS host's only where there is one: eight keyring look-ups at each start for nothing would slow
        // it (its notifier starts it when one is made later).
        const std::optional<int> entry = WebEntries::entryOfSecret(store->fileKey());
        const std::optional<int> host = DnsHostEntries::entryOfSecret(store->fileKey());
        if ((!entry || !settings.read(WebEntries::requestKey(*entry)).isEmpty()) &&
            (!host || !settings.read(DnsHostEntries::entryKey(*host)).isEmpty()))
            store->start();
    }
}

WatcherNotifications::~WatcherNotifications()
{
    // A failure in the last event before the loop ended (--once) is still shown, or logged.
    QCoreApplication::sendPostedEvents(&secureMail, QEvent::MetaCall);
}
