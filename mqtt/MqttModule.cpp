// The MQTT notification as a module (see notify/KindModule.h): libmosquitto is loaded with it.

#include "mqtt/MqttNotifier.h"
#include "notify/KindModule.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT KindNotifier* vistrelMakeKindNotifier(NotificationHost& host)
{
    return new MqttNotifier(host);
}
