#include "app/KindWiring.h"

#include "dnsupdate/DnsUpdateNotifier.h"

std::unique_ptr<KindNotifier> makeDnsUpdateNotifier(NotificationHost& host)
{
    return std::make_unique<DnsUpdateNotifier>(host);
}
