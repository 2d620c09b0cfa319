#include "app/KindWiring.h"

#include "notify/KindModule.h"
#include "notify/KindNotifier.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QLoggingCategory>

// The kinds with a big library of their own as modules (notify/KindModule.h), loaded when the kind is first used:
// beside the executable in the build tree, from VISTREL_MODULE_DIR (relative to the executable) once installed.

namespace {
Q_LOGGING_CATEGORY(lcModules, "vistrel.modules")

std::unique_ptr<KindNotifier> loadKind(const char* name, NotificationHost& host)
{
    const QDir here(QCoreApplication::applicationDirPath());
    QString errors;
    for (const QString& folder : {here.path(), here.filePath(QStringLiteral(VISTREL_MODULE_DIR))}) {
        QLibrary module(QDir(folder).filePath(QLatin1String(name)));
        // Every symbol now: one the executable lacks fails the load here, not a call later.
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (const auto make = reinterpret_cast<MakeKindNotifier>(module.resolve(KindModuleEntry))) {
            qCDebug(lcModules) << "loaded" << module.fileName();
            return std::unique_ptr<KindNotifier>(make(host)); // the module stays loaded for the process's life
        }
        errors += QStringLiteral("; ") + module.errorString();
    }
    qCWarning(lcModules, "The module %s cannot be loaded%s", name, qPrintable(errors));
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
