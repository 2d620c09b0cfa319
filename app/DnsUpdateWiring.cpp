#include "app/DnsUpdateWiring.h"

#include "core/AddressWatcher.h"
#include "core/ProductInfo.h"
#include "dnsupdate/DnsUpdateNotifier.h"
#include "keyring/PasswordStore.h"
#include "notify/WatcherNotificationHost.h"

std::unique_ptr<QObject> wireDnsUpdate(AddressWatcher& watcher, Settings& settings, WatcherNotificationHost& host,
                                       NotificationService& service)
{
    auto owner = std::make_unique<QObject>();
    auto* secret = new PasswordStore(LoadProductInfo().productName, settings, owner.get(), Key::DnsUpdateKeySecret,
                                     QStringLiteral("DNS update key"));
    QObject::connect(secret, &PasswordStore::notice, &watcher, &AddressWatcher::setStatus);
    host.addSecretStore(secret);
    service.setNotifier(Notifiers::Kind::DnsUpdate, new DnsUpdateNotifier(host, secret, owner.get()));
    secret->start();
    return owner;
}
