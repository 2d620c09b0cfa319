#pragma once

#include "app/Form1Hooks.h"
#include "desktop/DesktopNotice.h"
#include "desktop/Form2.h"
#include "desktop/Form8.h"
#include "desktop/frmAbout.h"
#include "desktop/frmSplash.h"
#include "desktop/frmWebsite.h"
#include "platform/AddRemove.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class Form1;
class TrayIcon;

/// The desktop side of the main window: the tray icon and minimising, the address overlay, run at
/// logon, and the splash, help, About and website windows. The main window reaches it through
/// DesktopHooks; the windows it owns are made when first needed and unloaded at shutdown.
class DesktopIntegration : public QObject, public DesktopHooks
{
    Q_OBJECT
public:
    explicit DesktopIntegration(Form1& form, QObject* parent = nullptr);
    ~DesktopIntegration() override;

    // What tests and unusual set-ups replace.
    /// Folders searched for Help.rtf, in order (the program's folder, then the installed data folders).
    void setHelpFolders(const QStringList& folders) { m_helpFolders = folders; }
    void setUrlOpener(frmWebsite::UrlOpener opener) { m_openUrl = std::move(opener); }
    void setTrayAvailable(std::function<bool()> available) { m_trayAvailable = std::move(available); }
    /// What ending the process means once the website window has closed after shutdown.
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

    /// Shows the splash window; after its delay it loads the main window (Form_Load) and shows it.
    void startWithSplash(int tickMs = frmSplash::DefaultTickMs);
    /// Shows the main window after its start-up: a window minimised at start-up stays in the
    /// notification area (or minimised in the task bar when there is none).
    void showMainWindow();

    frmSplash* splash() const { return m_splash; }
    Form2* overlay() const { return m_overlay; }
    Form8* help() const { return m_help; }
    frmAbout* about() const { return m_about; }
    frmWebsite* website() const { return m_website; }
    TrayIcon* tray() const { return m_tray.get(); }
    /// The Help.rtf the help window would show, or the empty text.
    QString findHelpFile() const;

    // DesktopHooks
    void setWindowIcons(QWidget* mainWindow) override;
    void addTrayIcon() override;
    void removeTrayIcon() override;
    void updateOverlay(const QString& internal, const QString& external) override;
    bool isOverlayVisible() const override;
    void setOverlayVisible(bool visible) override;
    void showHelp() override;
    void showAbout() override;
    void showWebsite() override;
    bool setRunAtLogon(bool enabled, QString* error) override;
    void mainWindowStateChanged(bool minimized) override;
    bool unload() override;

public slots:
    /// The addresses changed: a desktop notice, when the setting desktopNotify (default on) asks for one.
    void addressesChanged(const QList<AddressChange>& changes);
    /// What is pending changed; the tray icon's tip shows @p summary ("" when nothing is pending).
    void pendingNoticesChanged(const QString& summary);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Form2* loadOverlay();
    void overlayMenu(int index);
    void trayMenu(int index);
    bool trayAvailable() const;
    void websiteUnloaded();
    void updateTrayTip();
    bool showBalloon(const QString& summary, const QString& body);

    Form1& m_form;
    AddRemove m_addRemove;
    QString m_executablePath;
    QStringList m_helpFolders;
    QString m_websitePage;
    frmWebsite::UrlOpener m_openUrl;
    std::function<bool()> m_trayAvailable;
    std::function<void()> m_quit;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<DesktopNotice> m_notice;
    QString m_pendingSummary;
    QPointer<frmSplash> m_splash;
    QPointer<Form2> m_overlay;
    QPointer<Form8> m_help;
    QPointer<frmAbout> m_about;
    QPointer<frmWebsite> m_website;
    bool m_unloaded = false;
};
