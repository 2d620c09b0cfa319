#include "app/WatcherNotifications.h"

#include "app/AddressWatcher.h"
#include "app/ProductInfo.h"

WatcherNotifications::WatcherNotifications(AddressWatcher& watcher, Settings& settings, MessageBox* messageBox)
    : host(watcher), passwords(LoadProductInfo().productName, settings, watcher.notifySettings()),
      service(host, launcher), secureMail([&watcher](const QString& text) { watcher.setStatus(text); }, messageBox)
{
    QObject::connect(&passwords, &PasswordStore::notice, &watcher, &AddressWatcher::setStatus);
    host.setPasswordStore(&passwords);
    service.setSecureTransport(&secureMail);
    watcher.setNotifiers(&service);
}
