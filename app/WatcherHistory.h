#pragma once

#include "history/HistoryStore.h"

#include <QString>

class AddressWatcher;

/// Records every change the watcher announces in the history file of its settings file, the same way for the
/// window and the headless modes. The file is opened at the first change, not at start-up; changes that an earlier
/// write could not record (also in an earlier run) go in with the next change, or at the end of the next lookup.
struct WatcherHistory
{
    /// Changes are recorded, and the history's trouble goes to the watcher's status line, through connections of
    /// @p connection: queued in the window, so that the file is opened and written after the lookup has ended and
    /// its trouble is not covered at once by the lookup's closing status; direct in the headless modes, where
    /// --once ends with the lookup.
    WatcherHistory(AddressWatcher& watcher, const QString& path, Qt::ConnectionType connection);

    /// Where the history of @p settingsPath lives: for the default settings file the data folder beside where
    /// the settings belong, for any other file "<file>.history.sqlite" beside the file it resolves to.
    static QString pathFor(const QString& settingsPath, const QString& defaultSettingsPath);

    HistoryStore store;
    bool triedThisLookup = false; // a change was recorded since the last lookup ended
};
