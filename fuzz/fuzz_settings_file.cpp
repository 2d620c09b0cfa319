// Settings files as a user, a crash or another program may leave them: reading every key the
// program reads, as text and as a number, must never fail, and numbers stay in their range.
#include "app/NotifySettings.h"
#include "app/Settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.conf"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    Settings settings(path);
    NotifySettings values;
    LoadNotifySettings(settings, values);
    for (const char* key : {"Minimized", "chkMin", "refresh", "startup", "emailNotify", "webNotify", "programNotify",
                            "showHelp"}) {
        const int flag = settings.readInt(QLatin1String(key), 0, 0, 1);
        if (flag < 0 || flag > 1)
            __builtin_trap();
    }
    const int rate = settings.readInt(QStringLiteral("refreshrate"), 0, -1, 4);
    if (rate < -1 || rate > 4)
        __builtin_trap();
    (void)settings.read(QStringLiteral("OldExternal"), QStringLiteral("0"));
    return 0;
}
