#include "app/KindWiring.h"

#include "notify/NotificationService.h"

std::unique_ptr<KindNotifier> makeDnsUpdateNotifier(NotificationHost&, PasswordStore&)
{
    return nullptr; // a build without ldns
}
