#include "app/WatcherNotifications.h"

#include "core/AddressWatcher.h"
#include "core/ProductInfo.h"
#include "core/MessageBox.h"

#include <QCoreApplication>

WatcherNotifications::WatcherNotifications(AddressWatcher& watcher, Settings& settings, MessageBox* messageBox)
    : host(watcher), passwords(LoadProductInfo().productName, settings), service(host, launcher),
      secureMail([&watcher](const QString& text) { watcher.showNotifierStatus(text); }),
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
    host.addSecretStore(Key::DnsApiToken, &dnsApiToken);
    service.setNotifier(Notifiers::Kind::Cloudflare, &dnsApi);
    service.setSecureTransport(&secureMail);
    watcher.setNotifiers(&service);
}

WatcherNotifications::~WatcherNotifications()
{
    // A failure in the last event before the loop ended (--once) is still shown, or logged.
    QCoreApplication::sendPostedEvents(&secureMail, QEvent::MetaCall);
}
