#include "app/KindWiring.h"

#include "notify/NotificationService.h"

std::unique_ptr<KindNotifier> makeMqttNotifier(AddressWatcher&, NotificationHost&, PasswordStore&)
{
    return nullptr;
}
