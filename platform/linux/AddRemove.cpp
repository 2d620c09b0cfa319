#include "platform/AddRemove.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcAutostart, "vistrel.desktop.autostart")

namespace {

bool hasControlCharacter(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// A desktop entry's string value escapes the backslash; line ends cannot occur (checked before).
QString escapeValue(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return out;
}

} // namespace

AddRemove::AddRemove(QString autostartFolder)
    : m_folder(autostartFolder.isEmpty() ? defaultAutostartFolder() : std::move(autostartFolder))
{
}

QString AddRemove::defaultAutostartFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))  // a relative value is invalid and ignored
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString AddRemove::entryPath(const QString& programName) const
{
    return m_folder + QLatin1Char('/') + programName + QStringLiteral(".desktop");
}

QString AddRemove::execArgument(const QString& argument)
{
    // Inside double quotes the characters " ` $ \ are escaped with a backslash; "%" starts a field code
    // and is doubled. The string escaping of the whole value then doubles every backslash again.
    QString quoted;
    for (QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return escapeValue(QLatin1Char('"') + quoted + QLatin1Char('"'));
}

QByteArray AddRemove::desktopEntry(const QString& programName, const QString& fileToRun)
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + escapeValue(programName) + QLatin1Char('\n');
    text += QStringLiteral("Comment=Shows your internal and external IP addresses\n");
    text += QStringLiteral("Exec=") + execArgument(fileToRun) + QLatin1Char('\n');
    text += QStringLiteral("Icon=tarnwick-ip-vistrel\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

bool AddRemove::AddToRun(const QString& programName, const QString& fileToRun, QString* error)
{
    if (programName.isEmpty() || programName.contains(QLatin1Char('/')) || hasControlCharacter(programName)) {
        *error = QStringLiteral("Cannot register \"%1\" to run at logon: not a usable name").arg(programName);
        return false;
    }
    if (!QDir::isAbsolutePath(fileToRun) || hasControlCharacter(fileToRun)) {
        *error = QStringLiteral("Cannot register %1 to run at logon: not a usable path").arg(fileToRun);
        return false;
    }
    if (!QDir().mkpath(m_folder)) {
        *error = QStringLiteral("Cannot create the autostart folder %1").arg(m_folder);
        return false;
    }
    const QString path = entryPath(programName);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    file.write(desktopEntry(programName, fileToRun));
    if (!file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    qCDebug(lcAutostart) << "registered" << fileToRun << "in" << path;
    return true;
}

bool AddRemove::RemoveFromRun(const QString& programName, QString* error)
{
    if (programName.isEmpty() || programName.contains(QLatin1Char('/')))
        return true;  // no such entry can exist
    const QString path = entryPath(programName);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    QFile file(path);
    if (info.isDir() || !file.remove()) {
        *error = QStringLiteral("Cannot remove %1: %2")
                     .arg(path, info.isDir() ? QStringLiteral("it is a folder") : file.errorString());
        return false;
    }
    qCDebug(lcAutostart) << "removed" << path;
    return true;
}
