#include "app/KindWiring.h"

#include "mqtt/MqttNotifier.h"

std::unique_ptr<KindNotifier> makeMqttNotifier(NotificationHost& host)
{
    return std::make_unique<MqttNotifier>(host);
}
