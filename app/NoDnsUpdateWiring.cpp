#include "app/DnsUpdateWiring.h"

std::unique_ptr<QObject> wireDnsUpdate(AddressWatcher&, Settings&, WatcherNotificationHost&, NotificationService&)
{
    return nullptr; // a build without ldns: the DNS update reports that it is not in this build
}
