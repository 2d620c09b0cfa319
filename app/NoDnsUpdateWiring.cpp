#include "app/KindWiring.h"

#include "notify/KindNotifier.h"

std::unique_ptr<KindNotifier> makeDnsUpdateNotifier(NotificationHost&)
{
    return nullptr; // a build without ldns
}
