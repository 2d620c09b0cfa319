#include "platform/ProcessLauncher.h"

#include <QProcess>

bool DetachedProcessLauncher::startDetached(const QString& program, const QStringList& args, QString* error)
{
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
