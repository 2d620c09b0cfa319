#include "platform/linux/DBusCalls.h"

#include "platform/Modules.h"

const DBusCalls* DBusCalls::load(QString* error)
{
    static QString failure;
    static const DBusCalls* const calls = [] {
        const auto table = reinterpret_cast<DBusCallsFunction>(Modules::resolve("vistrel-dbus", DBusCallsEntry, &failure));
        return table ? table() : nullptr;
    }();
    if (!calls)
        *error = QStringLiteral("the D-Bus module cannot be loaded: %1").arg(failure);
    return calls;
}
