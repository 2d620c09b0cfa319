#include "app/KindWiring.h"

#include "notify/KindModule.h"
#include "notify/KindNotifier.h"
#include "platform/Modules.h"

#include <QLoggingCategory>

// The kinds with a big library of their own as modules (notify/KindModule.h), loaded when the kind is first used.

namespace {
Q_LOGGING_CATEGORY(lcModules, "vistrel.modules")

std::unique_ptr<KindNotifier> loadKind(const char* name, NotificationHost& host)
{
    QString error;
    if (const auto make = reinterpret_cast<MakeKindNotifier>(Modules::resolve(name, KindModuleEntry, &error)))
        return std::unique_ptr<KindNotifier>(make(host));
    qCWarning(lcModules, "The module %s cannot be loaded: %s", name, qPrintable(error));
    return nullptr;
}
} // namespace

std::unique_ptr<KindNotifier> makeMqttNotifier(NotificationHost& host)
{
    return loadKind("vistrel-mqtt", host);
}

std::unique_ptr<KindNotifier> makeDnsUpdateNotifier(NotificationHost& host)
{
    return loadKind("vistrel-dnsupdate", host);
}
