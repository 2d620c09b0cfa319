#pragma once

#include "app/CommandLine.h"

#include <QString>

/// The watcher without a window, for --headless and --once: a QCoreApplication (no display platform), status
/// lines on standard error, SIGTERM/SIGINT to end and SIGHUP to read the settings again, lookups on network
/// changes. Failures that a window would show in a message box become status lines. --history prints the history
/// of changes here too, without the instance lock (a watcher may be running) and reading its file only.
class HeadlessRunner
{
public:
    /// Runs to the end and returns the exit status (for --once the outcome of the one lookup, see CommandLine).
    /// @p settingsPath has passed CommandLine::checkSettingsFile().
    static int run(const CommandLine& command, const QString& settingsPath, int argc, char** argv);

    /// Replaces this process with tarnwick-ip-vistrel-headless from this executable's folder, which loads none of
    /// the window's libraries, with the same arguments. Returns only when it cannot (then run() here instead).
    static void handOver(char** argv);
};
