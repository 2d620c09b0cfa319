#include "platform/RunAtLogon.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// A desktop entry's string value escapes the backslash; line ends cannot occur (checked before).
QString escapeValue(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return out;
}

// The text of the entry.
QByteArray desktopEntry(const QString& programName, const QString& fileToRun)
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + escapeValue(programName) + QLatin1Char('\n');
    text += QStringLiteral("Comment=Shows your internal and external IP addresses\n");
    text += QStringLiteral("Exec=") + RunAtLogon::execArgument(fileToRun) + QLatin1Char('\n');
    text += QStringLiteral("Icon=tarnwick-ip-vistrel\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

} // namespace

QString RunAtLogon::defaultAutostartFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) // a relative value is invalid and ignored
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString RunAtLogon::entryPath(const QString& programName) const
{
    return m_folder + QLatin1Char('/') + programName + QStringLiteral(".desktop");
}

QString RunAtLogon::execArgument(const QString& argument)
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

QChar RunAtLogon::entrySeparator()
{
    return QLatin1Char('/');
}

// The Exec= line quotes and escapes every character.
bool RunAtLogon::storable(const QString&)
{
    return true;
}

bool RunAtLogon::writeEntry(const QString& programName, const QString& fileToRun, QString* error)
{
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
    return true;
}

bool RunAtLogon::removeEntry(const QString& programName, QString* error)
{
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
    return true;
}
