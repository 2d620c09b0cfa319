#pragma once

#include "core/WatchState.h"
#include "desktop/DesktopNotice.h"
#include "desktop/Form2.h"
#include "desktop/Form8.h"
#include "desktop/frmAbout.h"
#include "desktop/frmSplash.h"
#include "desktop/frmWebsite.h"
#include "platform/RunAtLogon.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class AddressWatcher;
class Settings;
class TrayIcon;

/// The desktop side of the main window: the tray icon and minimising, the address overlay, run at
/// logon, and the splash, help, About and website windows. It knows the main window only as a window;
/// what the user asks of it through the tray or the overlay it emits, and the wiring passes on. The
/// windows it owns are made when first needed and unloaded at shutdown.
class DesktopIntegration : public QObject
{
    Q_OBJECT
public:
    DesktopIntegration(QWidget& mainWindow, AddressWatcher& watcher, Settings& settings, QObject* parent = nullptr);
    ~DesktopIntegration() override;

    // What tests and unusual set-ups replace.
    /// Folders searched for Help.rtf, in order (the program's folder, then the installed data folders).
    void setHelpFolders(const QStringList& folders) { m_helpFolders = folders; }
    void setUrlOpener(frmWebsite::UrlOpener opener) { m_openUrl = std::move(opener); }
    void setTrayAvailable(std::function<bool()> available) { m_trayAvailable = std::move(available); }
    /// What ending the process means once the website window has closed after shutdown.
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

    /// Shows the splash window; after its delay it runs @p loadMainWindow (Form_Load) and shows the main window.
    void startWithSplash(std::function<void()> loadMainWindow, int tickMs = frmSplash::DefaultTickMs);
    /// Shows the main window after its start-up: a window minimised at start-up stays in the
    /// notification area (or minimised in the task bar when there is none). The overlay comes back
    /// when it was on at the end of the last run.
    void showMainWindow();

    frmSplash* splash() const { return m_splash; }
    Form2* overlay() const { return m_overlay; }
    Form8* help() const { return m_help; }
    frmAbout* about() const { return m_about; }
    frmWebsite* website() const { return m_website; }
    TrayIcon* tray() const { return m_tray.get(); }
    /// The Help.rtf the help window would show, or the empty text.
    QString findHelpFile() const;

    /// Sets the product icon on the main window (and the windows that share it).
    void setWindowIcons();
    void addTrayIcon();
    void removeTrayIcon();
    bool isOverlayVisible() const;
    void setOverlayVisible(bool visible);
    /// Shows the overlay when it is hidden and hides it when it is shown.
    void toggleOverlay();
    void showHelp();
    void showAbout();
    void showWebsite();
    /// Registers (or removes) the running executable to start at logon. False and @p error on failure.
    [[nodiscard]] bool setRunAtLogon(bool enabled, QString* error);
    /// The main window was resized, minimised or restored.
    void mainWindowStateChanged(bool minimized);
    /// Closes the windows at shutdown. Returns true when a window that keeps the process alive is still open
    /// (the process then ends when that window closes).
    bool unload();

signals:
    /// The tray's or the overlay's "Refresh".
    void refreshRequested();
    /// The overlay was shown or hidden.
    void overlayShown(bool shown);
    /// The tray's "History".
    void historyRequested();

public slots:
    /// Every lookup hands its addresses to the overlay once it has been made.
    void updateOverlay();
    /// The addresses changed: a desktop notice, when the setting desktopNotify (default on) asks for one.
    void addressesChanged(const QList<AddressChange>& changes);
    /// What is pending changed; the tray icon's tip shows @p summary ("" when nothing is pending).
    void pendingNoticesChanged(const QString& summary);
    /// The watcher's state: the tray icon carries a mark when the addresses are stale or none was found, and
    /// the tray's and the overlay's tips say what is true now.
    void showState(const WatchState& state);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Form2* loadOverlay();
    void overlayMenu(int index);
    void trayMenu(int index);
    bool trayAvailable() const;
    void websiteUnloaded();
    void updateTrayTip();
    QString stateTip() const;
    QIcon trayIcon() const;
    void placeOverlay(Form2* overlay);
    void copyAddress(const QString& address);
    bool showBalloon(const QString& summary, const QString& body);

    QWidget& m_window;
    AddressWatcher& m_watcher;
    Settings& m_settings;
    RunAtLogon m_runAtLogon;
    QString m_executablePath;
    QStringList m_helpFolders;
    QString m_websitePage;
    frmWebsite::UrlOpener m_openUrl;
    std::function<bool()> m_trayAvailable;
    std::function<void()> m_quit;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<DesktopNotice> m_notice;
    QString m_pendingSummary;
    WatchState m_state;
    QPointer<frmSplash> m_splash;
    QPointer<Form2> m_overlay;
    QPointer<Form8> m_help;
    QPointer<frmAbout> m_about;
    QPointer<frmWebsite> m_website;
    bool m_unloaded = false;
};
