#include "app/KindWiring.h"

#include "core/AddressWatcher.h"
#include "mqtt/MqttNotifier.h"

std::unique_ptr<KindNotifier> makeMqttNotifier(AddressWatcher& watcher, NotificationHost& host, PasswordStore& password)
{
    auto notifier = std::make_unique<MqttNotifier>(host, &password);
    // The change is announced before its notices start: the message can name the address it replaced.
    QObject::connect(&watcher, &AddressWatcher::addressesChanged, notifier.get(),
                     [mqtt = notifier.get()](const QList<AddressChange>& changes) {
                         for (const AddressChange& change : changes) {
                             if (change.name == QLatin1String("External"))
                                 mqtt->setPreviousExternal(change.before);
                         }
                     });
    return notifier;
}
