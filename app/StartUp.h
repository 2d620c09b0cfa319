#pragma once

#include "app/CommandLine.h"
#include "platform/InstanceLock.h"

#include <QString>

class AddressWatcher;
class RouterQuery;

/// What every start does first, in both executables and in the headless run.
namespace StartUp {
/// The settings file of @p command: its --config, or the default one. Checked without changing it, so that a wrong
/// --config never overwrites anything; false with @p error when it cannot be used (exit with ExitConfig).
[[nodiscard]] bool settingsPath(const CommandLine& command, QString* path, QString* error);

/// The settings file used without --config.
QString defaultSettingsPath();

/// Names the application object just made after the product: name, organisation (the settings folder) and version.
void nameApplication();

/// Takes @p lock. -1 when this process is the watcher of its settings file; otherwise the status to exit with (the
/// reason on standard error): 0 when a running window was asked to come forward, ExitInUse when another watcher has
/// the file, ExitConfig when the lock cannot be made.
int takeLock(InstanceLock& lock);

/// Gives @p watcher @p router to ask for the router's WAN address, unless the address sources come from
/// VISTREL_ADDRESS_SOURCES (tests and self-hosted services: their run must reach no gateway but one the test made)
/// and VISTREL_ASK_ROUTER is not 1.
void askRouter(AddressWatcher& watcher, RouterQuery& router);
} // namespace StartUp
