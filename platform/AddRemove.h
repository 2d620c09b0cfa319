#pragma once

#include <QString>

/// Registers a program to start when the user logs on. On Linux an XDG autostart entry of the current user:
/// `<autostart folder>/<program name>.desktop`, whose Exec= line runs the given executable.
/// One instance lives as long as the main window.
class AddRemove
{
public:
    /// @p autostartFolder defaults to `$XDG_CONFIG_HOME/autostart` (`~/.config/autostart`).
    explicit AddRemove(QString autostartFolder = QString());

    static QString defaultAutostartFolder();
    const QString& autostartFolder() const { return m_folder; }
    /// The entry that AddToRun() writes and RemoveFromRun() removes.
    QString entryPath(const QString& programName) const;

    /// Writes the entry naming @p fileToRun (an absolute path, quoted in Exec=). False and @p error on failure.
    [[nodiscard]] bool AddToRun(const QString& programName, const QString& fileToRun, QString* error);
    /// Removes exactly the entry of @p programName; an entry that does not exist is no failure.
    [[nodiscard]] bool RemoveFromRun(const QString& programName, QString* error);

    /// The text of the entry.
    static QByteArray desktopEntry(const QString& programName, const QString& fileToRun);
    /// @p argument as one quoted argument of an Exec= line, escaped for a desktop entry's string value.
    static QString execArgument(const QString& argument);

private:
    QString m_folder;
};
