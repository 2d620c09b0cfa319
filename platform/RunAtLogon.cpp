#include "platform/RunAtLogon.h"

#include <QDir>
#include <QLoggingCategory>

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

} // namespace

RunAtLogon::RunAtLogon(QString autostartFolder)
    : m_folder(autostartFolder.isEmpty() ? defaultAutostartFolder() : std::move(autostartFolder))
{
}

bool RunAtLogon::add(const QString& programName, const QString& fileToRun, QString* error)
{
    if (programName.isEmpty() || programName.contains(entrySeparator()) || hasControlCharacter(programName)) {
        *error = QStringLiteral("Cannot register \"%1\" to run at logon: not a usable name").arg(programName);
        return false;
    }
    if (!QDir::isAbsolutePath(fileToRun) || hasControlCharacter(fileToRun) || !storable(fileToRun)) {
        *error = QStringLiteral("Cannot register %1 to run at logon: not a usable path").arg(fileToRun);
        return false;
    }
    if (!writeEntry(programName, fileToRun, error))
        return false;
    qCDebug(lcAutostart) << "registered" << fileToRun << "in" << entryPath(programName);
    return true;
}

bool RunAtLogon::remove(const QString& programName, QString* error)
{
    if (programName.isEmpty() || programName.contains(entrySeparator()))
        return true; // no such entry can exist
    if (!removeEntry(programName, error))
        return false;
    qCDebug(lcAutostart) << "removed" << entryPath(programName);
    return true;
}
