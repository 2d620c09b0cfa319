#include "platform/RunAtLogon.h"

#include "platform/windows/Registry.h"

#include <QDir>

// Windows starts at logon every program named in the current user's Run key: one value per program, its data the
// command line. Here the "autostart folder" is that key (below HKEY_CURRENT_USER), and an entry is a value in it.

namespace {

QString keyBelowRoot(const QString& folder)
{
    return folder.startsWith(Registry::CurrentUser, Qt::CaseInsensitive) ? folder.mid(Registry::CurrentUser.size())
                                                                         : folder;
}

} // namespace

QString RunAtLogon::defaultAutostartFolder()
{
    return Registry::CurrentUser + QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

QString RunAtLogon::entryPath(const QString& programName) const
{
    return m_folder + QLatin1Char('\\') + programName;
}

QString RunAtLogon::execArgument(const QString& argument)
{
    // A path cannot hold a double quote, so quoting it whole is enough for the command line's reader.
    return QLatin1Char('"') + QDir::toNativeSeparators(argument) + QLatin1Char('"');
}

QChar RunAtLogon::entrySeparator()
{
    return QLatin1Char('\\');
}

// The quotes around the command line have no escape for a double quote.
bool RunAtLogon::storable(const QString& fileToRun)
{
    return !fileToRun.contains(QLatin1Char('"'));
}

bool RunAtLogon::writeEntry(const QString& programName, const QString& fileToRun, QString* error)
{
    return Registry::writeText(keyBelowRoot(m_folder), programName, execArgument(fileToRun), error);
}

bool RunAtLogon::removeEntry(const QString& programName, QString* error)
{
    return Registry::removeValue(keyBelowRoot(m_folder), programName, error);
}
