// Wires the subsystems together and starts the program.

#include "app/Form1.h"
#include "app/ProductInfo.h"
#include "app/Settings.h"
#include "app/TestProbe.h"
#include "desktop/DesktopArguments.h"
#include "desktop/DesktopIntegration.h"
#include "nettools/NetTools.h"
#include "notify/NotificationService.h"
#include "notify/NotificationWindows.h"
#include "notify/WatcherNotificationHost.h"
#include "platform/HttpGet.h"
#include "platform/MessageBox.h"
#include "platform/NetworkChangeMonitor.h"
#include "platform/ProcessLauncher.h"
#include "secure/SecureMailTransport.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    DesktopArguments arguments(argc, argv);  // X11 under Wayland, so that the overlay can stay on top
    QApplication app(arguments.argc(), arguments.argv());
    const ProductInfo& product = LoadProductInfo();
    QApplication::setApplicationName(product.productName);
    QApplication::setOrganizationName(product.productName);
    QApplication::setApplicationVersion(QStringLiteral("%1.%2").arg(product.majorVersion).arg(product.minorVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick-ip-vistrel"));

    Settings settings(SettingsFile::defaultPath(product.productName));
    HttpGet http;
    Form1 form(settings, http);
    // Hooks for the long-run tests; unset in normal use.
    if (const int seconds = qEnvironmentVariableIntValue("VISTREL_TEST_REFRESH_SECONDS"); seconds > 0)
        form.refreshCycle().setTestInterval(seconds);
    TestProbe::startFromEnvironment(&form);

    // Each subsystem hands the main window its hooks here, before the splash window loads it.
    AddressWatcher& watcher = form.watcher();
    WatcherNotificationHost notificationHost(watcher, http);
    DetachedProcessLauncher launcher;
    NotificationService notifications(notificationHost, launcher);
    watcher.setNotifiers(&notifications);
    NotificationWindows notificationWindows(notificationHost, notifications, &form);
    form.setNotificationHooks(&notificationWindows);
    DesktopMessageBox messageBox;
    SecureMailTransport secureMail([&form](const QString& text) { form.setStatus(text); }, &messageBox);
    notifications.setSecureTransport(&secureMail);
    NetTools netTools;
    form.setNetToolsHooks(&netTools);
    DesktopIntegration desktop(form);
    form.setDesktopHooks(&desktop);

    // A changed network or a resume from sleep looks the addresses up at once, auto refresh or not.
    NetworkChangeMonitor networkChanges;
    QObject::connect(&networkChanges, &NetworkChangeMonitor::changed, &watcher, &AddressWatcher::networkChanged);
    if (QString error; !networkChanges.start(&error))
        qWarning("network changes are not watched: %s", qPrintable(error));

    // The first lookup starts now, so that its answer is there when the splash hands over to the window.
    watcher.load();
    watcher.lookUp();
    desktop.startWithSplash();  // the splash window loads the main window (Form_Load) and shows it
    return app.exec();
}
