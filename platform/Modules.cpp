#include "platform/Modules.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

QFunctionPointer Modules::resolve(const char* name, const char* entry, QString* error)
{
    const QString here = QCoreApplication::applicationDirPath();
    QStringList folders{here, QDir(here).filePath(QStringLiteral(VISTREL_MODULE_DIR))};
    // The tests' executables sit in folders of their own under the build folder; an installed one never does.
    const QString build = QStringLiteral(VISTREL_BUILD_DIR);
    if (here == build || here.startsWith(build + u'/'))
        folders.append(build);
    QString errors;
    for (const QString& folder : folders) {
        QLibrary module(QDir(folder).filePath(QLatin1String(name)));
        // Every symbol now: one the executable lacks fails the load here, not a call later.
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (const QFunctionPointer function = module.resolve(entry))
            return function; // loaded for the process's life: QLibrary unloads nothing when it goes
        errors += (errors.isEmpty() ? QString() : QStringLiteral("; ")) + module.errorString();
    }
    *error = errors;
    return nullptr;
}
