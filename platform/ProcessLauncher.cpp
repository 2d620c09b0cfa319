#include "platform/ProcessLauncher.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {
// Why @p program cannot start, in the words a user acts on; empty when it looks startable.
QString whyNotStartable(const QString& program)
{
    if (!program.contains(u'/') && !program.contains(u'\\'))
        return QStandardPaths::findExecutable(program).isEmpty() ? QStringLiteral("not found on PATH") : QString();
    const QFileInfo file(program);
    if (!file.exists())
        return QStringLiteral("no such file");
    if (file.isDir())
        return QStringLiteral("a folder, not a program");
    if (!file.isExecutable())
        return QStringLiteral("permission denied");
    return {};
}
} // namespace

bool DetachedProcessLauncher::startDetached(const QString& program, const QStringList& args, QString* error)
{
    if (const QString why = whyNotStartable(program); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    if (error)
        *error = process.errorString();
    return false;
}
