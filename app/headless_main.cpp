// The watcher without a window (--headless, --once) in an executable that does not load Qt Gui or Widgets, so that
// a service on a small machine carries none of the window's libraries. tarnwick-ip-vistrel starts this one for
// those options.

#include "app/CommandLine.h"
#include "app/HeadlessRunner.h"
#include "app/StartUp.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    const CommandLine command = CommandLine::parse(argc, argv);
    if (command.exitStatus >= 0)
        return command.exitStatus;
    if (command.mode == CommandLine::Mode::Windowed) {
        std::fprintf(stderr, "%s: the window is tarnwick-ip-vistrel; here --headless, --once or --history is needed.\n",
                     argv[0]);
        return CommandLine::ExitUsage;
    }
    QString settingsPath;
    if (QString error; !StartUp::settingsPath(command, &settingsPath, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return CommandLine::ExitConfig;
    }
    return HeadlessRunner::run(command, settingsPath, argc, argv);
}
