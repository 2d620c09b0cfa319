// Wires the subsystems together and starts the program.

#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/HeadlessRunner.h"
#include "app/Settings.h"
#include "app/StartUp.h"
#include "app/TestHooks.h"
#include "app/WatcherNotifications.h"
#include "desktop/DesktopArguments.h"
#include "desktop/DesktopIntegration.h"
#include "nettools/NetTools.h"
#include "notify/NotificationWindows.h"
#include "platform/InstanceLock.h"
#include "platform/MessageBox.h"
#include "platform/NetworkChangeMonitor.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Read before any application object: the headless modes must not load a window platform.
    const CommandLine command = CommandLine::parse(argc, argv);
    if (command.exitStatus >= 0)
        return command.exitStatus;
    QString settingsPath;
    if (QString error; !StartUp::settingsPath(command, &settingsPath, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return CommandLine::ExitConfig;
    }
    if (command.mode != CommandLine::Mode::Windowed) {
        HeadlessRunner::handOver(argv);
        return HeadlessRunner::run(command.mode, settingsPath, argc, argv);
    }

    DesktopArguments arguments(argc, argv);  // X11 under Wayland, so that the overlay can stay on top
    QApplication app(arguments.argc(), arguments.argv());
    StartUp::nameApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick-ip-vistrel"));

    InstanceLock lock(settingsPath, InstanceLock::Role::Windowed);
    if (const int status = StartUp::takeLock(lock); status >= 0)
        return status;

    Settings settings(settingsPath);
    Form1 form(settings);
    AddressWatcher& watcher = form.watcher();
    TestHooks::install(watcher.refreshCycle(), &form);

    // Each subsystem hands the main window its hooks here, before the splash window loads it.
    DesktopMessageBox messageBox;
    WatcherNotifications notifications(watcher, settings, &messageBox);
    NotificationWindows notificationWindows(notifications.host, notifications.service, &form);
    form.setNotificationHooks(&notificationWindows);
    NetTools netTools;
    form.setNetToolsHooks(&netTools);
    DesktopIntegration desktop(form);
    // A second windowed start on the same settings file brings this window forward instead.
    lock.setRaiseWindow([&form] {
        form.showNormal();
        form.raise();
        form.activateWindow();
    });
    form.setDesktopHooks(&desktop);

    // A changed network or a resume from sleep looks the addresses up at once, auto refresh or not.
    NetworkChangeMonitor networkChanges;
    QObject::connect(&networkChanges, &NetworkChangeMonitor::changed, &watcher, &AddressWatcher::networkChanged);
    if (QString error; !networkChanges.start(&error))
        qWarning("network changes are not watched: %s", qPrintable(error));

    // The first lookup starts now, so that its answer is there when the splash hands over to the window.
    watcher.load();
    // The mail password comes from the keyring while the splash shows; a mail started earlier waits for it.
    notifications.passwords.start();
    watcher.lookUp();
    desktop.startWithSplash();  // the splash window loads the main window (Form_Load) and shows it
    return app.exec();
}
