#pragma once

#include "history/HistoryStore.h"

#include <QString>

class AddressWatcher;

/// Records every change the watcher announces in the history file of its settings file, the same way for the
/// window and the headless modes. The file is opened at the first change, not at start-up.
struct WatcherHistory
{
    /// The history's trouble goes to the watcher's status line through a connection of @p problemConnection
    /// (queued in the window, so that it is not covered at once by the lookup's own closing status).
    WatcherHistory(AddressWatcher& watcher, const QString& path, Qt::ConnectionType problemConnection);

    /// Where the history of @p settingsPath lives: for the default settings file the data folder beside where
    /// the settings belong, for any other file "<file>.history.sqlite" beside the file it resolves to.
    static QString pathFor(const QString& settingsPath, const QString& defaultSettingsPath);

    HistoryStore store;
};
