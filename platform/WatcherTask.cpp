#include "platform/WatcherTask.h"

#include <QProcess>

namespace {
constexpr int ToolTimeoutMs = 30000;
}

WatcherTask::WatcherTask(QString program) : m_program(std::move(program)) {}

bool WatcherTask::run(const QString& program, const QStringList& args, QString* error, QString* said)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, args);
    const bool finished = tool.waitForFinished(ToolTimeoutMs);
    const QString output = QString::fromLocal8Bit(tool.readAll()).trimmed();
    if (said)
        *said = output;
    if (finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
        return true;
    *error = QStringLiteral("%1 %2: %3")
                 .arg(program, args.join(QLatin1Char(' ')),
                      !output.isEmpty() ? output
                      : finished        ? QStringLiteral("exit status %1").arg(tool.exitCode())
                                        : tool.errorString());
    if (tool.state() != QProcess::NotRunning)
        tool.kill();
    return false;
}
