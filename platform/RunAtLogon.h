#pragma once

#include <QString>

/// Registers a program to start when the user logs on. On Linux an XDG autostart entry of the current user:
/// `<autostart folder>/<program name>.desktop`, whose Exec= line runs the given executable; on Windows a value of
/// the current user's Run key (the "autostart folder"), whose data is the quoted executable.
/// One instance lives as long as the main window.
class RunAtLogon
{
public:
    /// @p autostartFolder defaults to `$XDG_CONFIG_HOME/autostart` (`~/.config/autostart`), on Windows to the Run key.
    explicit RunAtLogon(QString autostartFolder = QString());

    static QString defaultAutostartFolder();
    const QString& autostartFolder() const { return m_folder; }
    /// The entry that add() writes and remove() removes.
    QString entryPath(const QString& programName) const;

    /// Writes the entry naming @p fileToRun (an absolute path, quoted). False and @p error on failure.
    [[nodiscard]] bool add(const QString& programName, const QString& fileToRun, QString* error);
    /// Removes exactly the entry of @p programName; an entry that does not exist is no failure.
    [[nodiscard]] bool remove(const QString& programName, QString* error);

    /// @p argument as one quoted argument of the command line that the entry holds.
    static QString execArgument(const QString& argument);

private:
    // The system's store (platform/<system>/RunAtLogon.cpp); add() and remove() check the names first.

    /// The character that separates entries in the store: a program name holding it names no entry.
    static QChar entrySeparator();
    /// Whether the store can hold @p fileToRun, an absolute path without control characters.
    static bool storable(const QString& fileToRun);
    [[nodiscard]] bool writeEntry(const QString& programName, const QString& fileToRun, QString* error);
    [[nodiscard]] bool removeEntry(const QString& programName, QString* error);

    QString m_folder;
};
