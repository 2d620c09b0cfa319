#include "platform/AddRemove.h"

#include "platform/windows/Registry.h"

#include <QDir>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcAutostart, "vistrel.desktop.autostart")

// Windows starts at logon every program named in the current user's Run key: one value per program, its data the
// command line. Here the "autostart folder" is that key (below HKEY_CURRENT_USER), and an entry is a value in it.

namespace {

bool hasControlCharacter(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

QString keyBelowRoot(const QString& folder)
{
    return folder.startsWith(Registry::CurrentUser, Qt::CaseInsensitive) ? folder.mid(Registry::CurrentUser.size())
                                                                         : folder;
}

} // namespace

AddRemove::AddRemove(QString autostartFolder)
    : m_folder(autostartFolder.isEmpty() ? defaultAutostartFolder() : std::move(autostartFolder))
{
}

QString AddRemove::defaultAutostartFolder()
{
    return Registry::CurrentUser + QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

QString AddRemove::entryPath(const QString& programName) const
{
    return m_folder + QLatin1Char('\\') + programName;
}

QString AddRemove::execArgument(const QString& argument)
{
    // A path cannot hold a double quote, so quoting it whole is enough for the command line's reader.
    return QLatin1Char('"') + QDir::toNativeSeparators(argument) + QLatin1Char('"');
}

bool AddRemove::AddToRun(const QString& programName, const QString& fileToRun, QString* error)
{
    if (programName.isEmpty() || programName.contains(QLatin1Char('\\')) || hasControlCharacter(programName)) {
        *error = QStringLiteral("Cannot register \"%1\" to run at logon: not a usable name").arg(programName);
        return false;
    }
    if (!QDir::isAbsolutePath(fileToRun) || hasControlCharacter(fileToRun) || fileToRun.contains(QLatin1Char('"'))) {
        *error = QStringLiteral("Cannot register %1 to run at logon: not a usable path").arg(fileToRun);
        return false;
    }
    if (!Registry::writeText(keyBelowRoot(m_folder), programName, execArgument(fileToRun), error))
        return false;
    qCDebug(lcAutostart) << "registered" << fileToRun << "in" << entryPath(programName);
    return true;
}

bool AddRemove::RemoveFromRun(const QString& programName, QString* error)
{
    if (programName.isEmpty() || programName.contains(QLatin1Char('\\')))
        return true; // no such entry can exist
    if (!Registry::removeValue(keyBelowRoot(m_folder), programName, error))
        return false;
    qCDebug(lcAutostart) << "removed" << entryPath(programName);
    return true;
}
