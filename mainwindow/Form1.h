#pragma once

#include "core/AddressWatcher.h"
#include "core/ProductInfo.h"

#include <QMainWindow>

class AddressFrame;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ScreenFitArea;
class Settings;

/// The main window: the addresses, the tools' frames, the options and the status line. It drives and
/// shows an AddressWatcher, which owns the lookups, the remembered addresses and the notifications.
/// What belongs to the windows beside it (tray, overlay, help, the tools, the configuration dialog) it
/// asks for with a signal; the wiring in app/ connects them, and hands results back through the slots.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    /// When the widgets are made: at once, or by Form_Load (or build()), so that a start can show its splash
    /// and begin the first lookup without waiting for the whole window.
    enum class Build { Now, AtLoad };
    Form1(AddressWatcher& watcher, Settings& settings, QWidget* parent = nullptr);
    Form1(AddressWatcher& watcher, Settings& settings, Build build, QWidget* parent = nullptr);
    ~Form1() override;

    /// Makes the widgets and shows what the watcher knows, unless they are made already.
    void build();

    /// The status line: every writer replaces the whole text.
    void setStatus(const QString& text);
    QString status() const;
    /// The addresses as the labels show them ("000.000.000.000" before the first lookup).
    QString externalAddress() const;
    QString internalAddress() const;
    /// The public IPv6 address as its line shows it: "none" when there is none.
    QString externalIPv6Address() const;
    bool isLookupRunning() const { return m_watcher.isLookupRunning(); }

signals:
    void statusChanged(const QString& text);
    /// A lookup has started (the status line says "Looking up your IPs...").
    void lookupStarted();
    /// A lookup has ended, successfully or not.
    void lookupFinished(bool ok);

    // What the user (or the stored settings at Form_Load) asked of the windows beside this one.
    /// Form_Load has begun: the window wants its icons and the tray icon.
    void loading();
    void helpRequested();
    void aboutRequested();
    void websiteRequested();
    void configurationRequested();
    /// "History" in the Action menu: the recorded changes of the addresses.
    void historyRequested();
    void overlayToggleRequested();
    /// Run at logon ticked or unticked; a refusal comes back through refuseRunAtLogon before this returns.
    void runAtLogonRequested(bool enabled);
    void addressToNameRequested(const QString& address);
    void nameToAddressRequested(const QString& name);
    void whoisRequested(const QString& query);
    void minimizedChanged(bool minimized);
    /// Form_QueryUnload: the window is about to close (the tray icon goes).
    void queryUnload();
    /// Form_Unload: the watcher has shut down; the windows beside this one unload, and the program ends.
    void unloaded();

public slots:
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();

    /// The lookup ("Refresh"): the watcher asks both address families' sources at once and returns.
    /// A lookup asked for while one runs is dropped.
    void Command1_Click();
    /// The machine's addresses or routes changed, or it woke up (see AddressWatcher::networkChanged).
    void networkChanged();
    void Check1_Click();
    void cmbRefresh_Click();

    void cmdCopy1_Click();
    void cmdCopy2_Click();
    void Command2_Click();
    void Command3_Click();
    void cmdWebsite_Click();
    void Check2_Click();
    void notificationOption_Click(QCheckBox* box, Key key);
    void chkMin_Click();
    void cmdSend_Click();
    void doHitURL();
    void doLauchProg();
    void cmdConvert_Click();
    void cmdConvert2_Click();
    void cmdWhois_Click();

    // Results handed back by the windows beside this one.
    /// The overlay was shown or hidden (by Command2, the tray or the overlay's own menu): Command2's caption follows.
    void showOverlayState(bool shown);
    /// Run at logon could not be changed: the status line says why, and the box shows what is true.
    void refuseRunAtLogon(const QString& error);
    void showConvertedName(const QString& name);
    void showConvertedAddress(const QString& address);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildWindow();
    QWidget* buildDnsFrame();
    QWidget* buildProgramFrame();
    QWidget* buildWhoisFrame();
    QWidget* buildAutomationFrame();
    QWidget* buildNotificationFrame();
    void buildMenus();
    /// Lets the content ask for no more than the screen holds (it scrolls beyond).
    void fitScreen();
    void restoreToggle(QCheckBox* box, Key key);
    void showAddresses();

    AddressWatcher& m_watcher;
    Settings& m_settings;
    ProductInfo m_product;
    bool m_unloaded = false;

    ScreenFitArea* m_content = nullptr;  // everything under the menu bar
    AddressFrame* m_addresses = nullptr; // Frame1: the addresses and the state at a glance
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* cmdConvert = nullptr;
    QPushButton* cmdConvert2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* cmdWebsite = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* cmdWhois = nullptr;
    QCheckBox* Check1 = nullptr;
    QComboBox* cmbRefresh = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* chkMin = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check5 = nullptr;
    QCheckBox* chkDesktopNotice = nullptr;
    QPushButton* Command3 = nullptr;
    QLineEdit* txtStatus = nullptr;
};
