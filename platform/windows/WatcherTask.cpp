#include "platform/WatcherTask.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

// A task of the current user, started at that user's logon, without elevated rights, with no time limit and no
// second instance; schtasks.exe makes it from its XML (Task Scheduler schema 1.2, as UTF-16 with a byte order mark).

namespace {

const QString Task = QStringLiteral("Tarnwick IP Vistrel watcher");

QString schtasks()
{
    return QStringLiteral("schtasks.exe");
}

QString user()
{
    const QString domain = qEnvironmentVariable("USERDOMAIN");
    const QString name = qEnvironmentVariable("USERNAME");
    return domain.isEmpty() ? name : domain + QLatin1Char('\\') + name;
}

} // namespace

QByteArray WatcherTask::definition() const
{
    const QString account = user().toHtmlEscaped();
    const QString text =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
            "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
            "  <RegistrationInfo><Description>Watches this computer's addresses without a window and notifies "
            "on change.</Description></RegistrationInfo>\r\n"
            "  <Triggers><LogonTrigger><Enabled>true</Enabled><UserId>%1</UserId></LogonTrigger></Triggers>\r\n"
            "  <Principals><Principal id=\"Author\"><UserId>%1</UserId><LogonType>InteractiveToken</LogonType>"
            "<RunLevel>LeastPrivilege</RunLevel></Principal></Principals>\r\n"
            "  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
            "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
            "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
            "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>\r\n"
            "  <Actions Context=\"Author\"><Exec><Command>%2</Command><Arguments>--headless</Arguments></Exec>"
            "</Actions>\r\n"
            "</Task>\r\n")
            .arg(account, QDir::toNativeSeparators(m_program).toHtmlEscaped());
    QByteArray bytes("\xff\xfe", 2);
    bytes += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

QString WatcherTask::definitionPath() const
{
    return QDir::tempPath() + QStringLiteral("/tarnwick-ip-vistrel-task.xml");
}

bool WatcherTask::install(QString* error)
{
    const QString path = definitionPath();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(definition()) < 0 || !file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    const bool made = run(schtasks(),
                          {QStringLiteral("/Create"), QStringLiteral("/TN"), Task, QStringLiteral("/XML"),
                           QDir::toNativeSeparators(path), QStringLiteral("/F")},
                          error);
    QFile::remove(path);
    return made;
}

bool WatcherTask::remove(QString* error)
{
    // A failed delete is no failure when there is no such task.
    return run(schtasks(), {QStringLiteral("/Delete"), QStringLiteral("/TN"), Task, QStringLiteral("/F")}, error) ||
           !isInstalled();
}

bool WatcherTask::isInstalled() const
{
    // The task's XML, in whatever encoding it comes (UTF-16 to a pipe on some systems); Wine's schtasks.exe answers
    // a /Query it does not know with success and nothing.
    QString ignored;
    QString said;
    return run(schtasks(), {QStringLiteral("/Query"), QStringLiteral("/TN"), Task, QStringLiteral("/XML")}, &ignored,
               &said) &&
           said.remove(QChar(0)).contains(QLatin1String("<Task"));
}
