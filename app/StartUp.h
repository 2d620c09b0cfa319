#pragma once

#include "app/CommandLine.h"

#include <QString>

/// What every start does first, in both executables and in the headless run.
namespace StartUp {
/// The settings file of @p command: its --config, or the default one. Checked without changing it, so that a wrong
/// --config never overwrites anything; false with @p error when it cannot be used (exit with ExitConfig).
[[nodiscard]] bool settingsPath(const CommandLine& command, QString* path, QString* error);

/// Names the application object just made after the product: name, organisation (the settings folder) and version.
void nameApplication();
} // namespace StartUp
