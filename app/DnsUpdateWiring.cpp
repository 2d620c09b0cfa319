#include "app/KindWiring.h"

#include "dnsupdate/DnsUpdateNotifier.h"

std::unique_ptr<KindNotifier> makeDnsUpdateNotifier(NotificationHost& host, PasswordStore& secret)
{
    return std::make_unique<DnsUpdateNotifier>(host, &secret);
}
