#pragma once

#include <QString>

#include <functional>

class QWidget;

/// What the main window asks of the notification subsystem's windows (the notifications themselves are
/// the watcher's). Implemented outside this library and handed to the main window before it loads; a
/// missing implementation leaves its commands inert.
class NotificationHooks
{
public:
    virtual ~NotificationHooks() = default;
    /// Opens the notification configuration dialog, not modal.
    virtual void showConfiguration() = 0;
    /// Closes the subsystem's windows at shutdown.
    virtual void unload() = 0;
};

/// What the main window asks of the network tools.
class NetToolsHooks
{
public:
    virtual ~NetToolsHooks() = default;
    using Result = std::function<void(const QString&)>;
    /// Host name of an IPv4 address; @p done gets the name, or the empty text. May answer later.
    virtual void convertAddressToName(const QString& address, Result done) = 0;
    /// First IPv4 address of a host name; @p done gets the address, or the empty text. May answer later.
    virtual void convertNameToAddress(const QString& name, Result done) = 0;
    /// Opens the WHOIS window for @p query.
    virtual void showWhois(const QString& query) = 0;
    virtual void unload() = 0;
};

/// What the main window asks of the desktop integration.
class DesktopHooks
{
public:
    virtual ~DesktopHooks() = default;
    /// Sets the product icon on the main window (and the windows that share it).
    virtual void setWindowIcons(QWidget* mainWindow) = 0;
    virtual void addTrayIcon() = 0;
    virtual void removeTrayIcon() = 0;
    /// Every successful lookup hands its addresses to the overlay, shown or not.
    virtual void updateOverlay(const QString& internal, const QString& external) = 0;
    virtual bool isOverlayVisible() const = 0;
    virtual void setOverlayVisible(bool visible) = 0;
    virtual void showHelp() = 0;
    virtual void showAbout() = 0;
    virtual void showWebsite() = 0;
    /// Registers (or removes) the running executable to start at logon. False and @p error on failure.
    virtual bool setRunAtLogon(bool enabled, QString* error) = 0;
    /// The main window was resized, minimised or restored.
    virtual void mainWindowStateChanged(bool minimized) = 0;
    /// Closes the subsystem's windows at shutdown. Returns true when a window that keeps the process
    /// alive is still open (the process then ends when that window closes).
    virtual bool unload() = 0;
};
