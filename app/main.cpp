// Builds the program's objects, connects them and starts it: the watcher and its notifications first, then the
// main window and the windows beside it (or, for --headless and --once, the program without a window).

#include "app/CommandLine.h"
#include "app/HeadlessRunner.h"
#include "app/MainWindowWiring.h"
#include "app/StartUp.h"
#include "app/TestHooks.h"
#include "app/WatcherHistory.h"
#include "app/WatcherNotifications.h"
#include "configure/NotificationWindows.h"
#include "core/AddressWatcher.h"
#include "core/Settings.h"
#include "desktop/DesktopArguments.h"
#include "desktop/DesktopIntegration.h"
#include "historywindow/HistoryWindow.h"
#include "mainwindow/Form1.h"
#include "nettools/NetTools.h"
#include "platform/InstanceLock.h"
#include "platform/NetworkChangeMonitor.h"
#include "router/RouterQuery.h"
#include "widgets/DesktopMessageBox.h"

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
        return HeadlessRunner::run(command, settingsPath, argc, argv);
    }

    DesktopArguments arguments(argc, argv);  // X11 under Wayland, so that the overlay can stay on top
    QApplication app(arguments.argc(), arguments.argv());
    StartUp::nameApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick-ip-vistrel"));

    InstanceLock lock(settingsPath, InstanceLock::Role::Windowed);
    if (const int status = StartUp::takeLock(lock); status >= 0)
        return status;

    Settings settings(settingsPath);
    for (const QString& line : settings.tidyUp())
        qInfo("%s", qPrintable(line));
    RouterQuery router;
    AddressWatcher watcher(settings);
    StartUp::askRouter(watcher, router);
    DesktopMessageBox messageBox;
    WatcherNotifications notifications(watcher, settings, &messageBox);
    // Opened at the first change, once its lookup has ended; its trouble reaches the status line after the lookup's.
    WatcherHistory history(watcher, WatcherHistory::pathFor(settingsPath, StartUp::defaultSettingsPath()),
                           Qt::QueuedConnection);

    // Its widgets are made when the splash hands over: the splash and the first lookup do not wait for them.
    Form1 form(watcher, settings, Form1::Build::AtLoad);
    TestHooks::install(watcher.refreshCycle(), &form);
    NotificationWindows configuration(notifications.host, notifications.service, &form);
    NetTools netTools;
    DesktopIntegration desktop(form, watcher, settings);
    HistoryWindows historyWindows(history.store);
    connectMainWindow(form, {&desktop, &netTools, &configuration, [] { QCoreApplication::exit(0); }, &historyWindows});
    // A second windowed start on the same settings file brings this window forward instead.
    lock.setRaiseWindow([&form] {
        form.build();
        form.showNormal();
        form.raise();
        form.activateWindow();
    });

    // A changed network or a resume from sleep looks the addresses up at once, auto refresh or not.
    NetworkChangeMonitor networkChanges;
    QObject::connect(&networkChanges, &NetworkChangeMonitor::changed, &watcher, &AddressWatcher::networkChanged);
    if (QString error; !networkChanges.start(&error))
        qWarning("network changes are not watched: %s", qPrintable(error));

    // The first lookup starts now, so that its answer is there when the splash hands over to the window.
    watcher.load();
    // The mail password comes from the keyring while the splash shows; a mail started earlier waits for it.
    notifications.startSecrets();
    watcher.lookUp();
    desktop.startWithSplash([&form] { form.Form_Load(); }); // after the splash, the main window loads and shows
    return app.exec();
}
