#include "app/MainWindowWiring.h"

#include "configure/NotificationWindows.h"
#include "desktop/DesktopIntegration.h"
#include "historywindow/HistoryWindow.h"
#include "mainwindow/Form1.h"
#include "nettools/NetTools.h"

void connectMainWindow(Form1& form, const WindowParts& parts)
{
    if (DesktopIntegration* desktop = parts.desktop) {
        QObject::connect(&form, &Form1::loading, desktop, [desktop] {
            desktop->setWindowIcons();
            desktop->addTrayIcon();
        });
        QObject::connect(&form, &Form1::queryUnload, desktop, &DesktopIntegration::removeTrayIcon);
        QObject::connect(&form, &Form1::helpRequested, desktop, &DesktopIntegration::showHelp);
        QObject::connect(&form, &Form1::aboutRequested, desktop, &DesktopIntegration::showAbout);
        QObject::connect(&form, &Form1::websiteRequested, desktop, &DesktopIntegration::showWebsite);
        QObject::connect(&form, &Form1::overlayToggleRequested, desktop, &DesktopIntegration::toggleOverlay);
        QObject::connect(&form, &Form1::minimizedChanged, desktop, &DesktopIntegration::mainWindowStateChanged);
        QObject::connect(&form, &Form1::runAtLogonRequested, desktop, [&form, desktop](bool enabled) {
            if (QString error; !desktop->setRunAtLogon(enabled, &error))
                form.refuseRunAtLogon(error);
        });
        QObject::connect(desktop, &DesktopIntegration::overlayShown, &form, &Form1::showOverlayState);
        QObject::connect(desktop, &DesktopIntegration::refreshRequested, &form, &Form1::Command1_Click);
    }
    if (NotificationWindows* configuration = parts.configuration)
        QObject::connect(&form, &Form1::configurationRequested, &form, [configuration] { configuration->showConfiguration(); });
    if (NetTools* tools = parts.netTools) {
        QObject::connect(&form, &Form1::addressToNameRequested, &form, [&form, tools](const QString& address) {
            tools->convertAddressToName(address, [&form](const QString& name) { form.showConvertedName(name); });
        });
        QObject::connect(&form, &Form1::nameToAddressRequested, &form, [&form, tools](const QString& name) {
            tools->convertNameToAddress(name, [&form](const QString& address) { form.showConvertedAddress(address); });
        });
        QObject::connect(&form, &Form1::whoisRequested, &form, [tools](const QString& query) { tools->showWhois(query); });
    }
    if (HistoryWindows* history = parts.history) {
        QObject::connect(&form, &Form1::historyRequested, &form, [history] { history->show(); });
        if (parts.desktop) // the tray's "History"
            QObject::connect(parts.desktop, &DesktopIntegration::historyRequested, &form, [history] { history->show(); });
    }
    // The watcher has shut down: the windows beside the main one close, and the process ends unless one of them
    // still has to live (the website window's second).
    QObject::connect(&form, &Form1::unloaded, &form, [parts] {
        const bool keepAlive = parts.desktop && parts.desktop->unload();
        if (parts.configuration)
            parts.configuration->unload();
        if (parts.netTools)
            parts.netTools->unload();
        if (parts.history)
            parts.history->unload();
        if (!keepAlive && parts.quit)
            parts.quit();
    });
}
