#include "app/KindWiring.h"

#include "notify/KindNotifier.h"

std::unique_ptr<KindNotifier> makeMqttNotifier(NotificationHost&)
{
    return nullptr;
}
