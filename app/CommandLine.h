#pragma once

#include <QString>

/// What the command line asks for, read before any application object exists: the headless modes must
/// never load a display platform.
struct CommandLine
{
    enum class Mode
    {
        Windowed,
        Headless,
        Once,
        History, ///< print the history of changes and exit
        Health,  ///< say whether the watcher's last lookup succeeded and exit 0 or 1
        InstallTask, ///< have the system start the watcher without the window at logon, and exit
        RemoveTask,  ///< undo InstallTask, and exit
    };

    /// The exit statuses shared by every mode (sysexits.h values for the command line and the settings file).
    enum ExitStatus
    {
        ExitUnchanged = 0,
        ExitChanged = 1,
        ExitNotifyFailed = 2,
        ExitLookupFailed = 3,
        ExitUsage = 64,
        ExitInUse = 75,
        ExitConfig = 78,
    };

    Mode mode = Mode::Windowed;
    /// Empty: the default settings file.
    QString configPath;
    /// For Mode::History: comma-separated values instead of aligned columns.
    bool historyCsv = false;
    /// For Mode::Headless: where the metrics are served ("127.0.0.1:9464", or a port for loopback); empty: not.
    QString metricsListen;
    /// Set when the program has nothing more to do (help, version, bad usage): exit with this status.
    int exitStatus = -1;

    /// Reads @p argv. Help and the version go to standard output; a bad command line puts the reason and
    /// the usage on standard error and sets exitStatus to ExitUsage. Options that Qt's window platform reads
    /// itself (-platform, -display, -style, ...) are accepted and left for it.
    static CommandLine parse(int argc, char** argv);

    /// Whether the settings file at @p path can be read and replaced (the folder writable, since the file is
    /// rewritten through a renamed temporary file), checked without changing anything. A file that does not
    /// exist yet is fine when its folder can be created or written. A file that is no settings file, or is larger
    /// than 1 MiB, is refused (SettingsFile::check).
    [[nodiscard]] static bool checkSettingsFile(const QString& path, QString* error);
};
