#include "platform/WatcherTask.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// The unit the package installs is used as it is; without one, a unit of the user's own is written, marked so that
// remove() takes away only what install() wrote.

namespace {

const QString Unit = QStringLiteral("tarnwick-ip-vistrel.service");
const QByteArray Mark = "# Written by tarnwick-ip-vistrel --install-task\n";

QString systemctl()
{
    return QStringLiteral("systemctl");
}

// Whether a unit of that name is installed where systemd's user instance looks for the package's units.
bool packageUnitExists()
{
    for (const char* folder :
         {"/usr/lib/systemd/user/", "/lib/systemd/user/", "/usr/local/lib/systemd/user/", "/etc/systemd/user/"}) {
        if (QFile::exists(QString::fromLatin1(folder) + Unit))
            return true;
    }
    return false;
}

// The path quoted for ExecStart=: backslashes and quotes escaped, "%" (a specifier) doubled; the executable's path
// knows no "$" variables.
QString quoted(const QString& path)
{
    QString text = path;
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QByteArray WatcherTask::definition() const
{
    return Mark +
           "[Unit]\nDescription=Tarnwick IP Vistrel address watcher\n"
           "After=network-online.target\nWants=network-online.target\n\n"
           "[Service]\nType=simple\nExecStart=" +
           quoted(m_program).toUtf8() +
           " --headless\nExecReload=/bin/kill -HUP $MAINPID\nRestart=on-failure\nRestartSec=30\n"
           "RestartPreventExitStatus=64 75 78\n\n[Install]\nWantedBy=default.target\n";
}

QString WatcherTask::definitionPath() const
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/systemd/user/") + Unit;
}

bool WatcherTask::install(QString* error)
{
    if (!packageUnitExists()) {
        const QString path = definitionPath();
        QSaveFile file(path);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly) ||
            file.write(definition()) < 0 || !file.commit()) {
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        if (!run(systemctl(), {QStringLiteral("--user"), QStringLiteral("daemon-reload")}, error))
            return false;
    }
    return run(systemctl(), {QStringLiteral("--user"), QStringLiteral("enable"), QStringLiteral("--now"), Unit}, error);
}

bool WatcherTask::remove(QString* error)
{
    QString ignored;
    // A unit that is not there cannot be disabled: that is no failure.
    if (isInstalled() &&
        !run(systemctl(), {QStringLiteral("--user"), QStringLiteral("disable"), QStringLiteral("--now"), Unit}, error))
        return false;
    QFile file(definitionPath());
    if (file.open(QIODevice::ReadOnly) && file.read(Mark.size()) == Mark) {
        file.close();
        if (!file.remove()) {
            *error = QStringLiteral("Cannot remove %1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        (void)run(systemctl(), {QStringLiteral("--user"), QStringLiteral("daemon-reload")}, &ignored);
    }
    return true;
}

bool WatcherTask::isInstalled() const
{
    // is-enabled reads the unit files without the user manager, and exits with 0 for "static" and others too.
    QString ignored;
    QString state;
    return run(systemctl(), {QStringLiteral("--user"), QStringLiteral("is-enabled"), Unit}, &ignored, &state) &&
           state == u"enabled";
}
