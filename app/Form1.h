#pragma once

#include "app/AddressWatcher.h"
#include "app/ProductInfo.h"

#include <QMainWindow>

#include <functional>

class DesktopHooks;
class NetToolsHooks;
class NotificationHooks;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Settings;

/// The main window: the addresses, the tools' frames, the options and the status line. It drives and
/// shows an AddressWatcher, which owns the lookups, the remembered addresses and the notifications;
/// each handler forwards to the object that owns the behaviour, and the subsystems that come after
/// the core are reached through the hooks handed in before Form_Load.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    Form1(Settings& settings, QWidget* parent = nullptr);
    ~Form1() override;

    void setNotificationHooks(NotificationHooks* hooks) { m_notifications = hooks; }
    void setNetToolsHooks(NetToolsHooks* hooks) { m_netTools = hooks; }
    void setDesktopHooks(DesktopHooks* hooks) { m_desktop = hooks; }
    /// Where the internal address comes from (the machine's own by default).
    void setLocalAddressSource(std::function<QString()> source) { m_watcher->setLocalAddressSource(std::move(source)); }
    /// Whether the machine can reach the IPv6 internet (its routing table by default); without a
    /// route the IPv6 sources are not asked and the IPv6 line says "none".
    void setIPv6RouteProbe(std::function<bool()> probe) { m_watcher->setIPv6RouteProbe(std::move(probe)); }
    /// What ending the process means (the application's exit by default).
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

    AddressWatcher& watcher() { return *m_watcher; }
    Settings& settings() { return m_settings; }
    NotifySettings& notifySettings() { return m_watcher->notifySettings(); }
    const ProductInfo& product() const { return m_product; }

    /// The status line: every writer replaces the whole text.
    void setStatus(const QString& text);
    QString status() const;
    /// The addresses as the labels show them ("000.000.000.000" before the first lookup).
    QString externalAddress() const;
    QString internalAddress() const;
    /// The public IPv6 address as its line shows it: "none" when there is none.
    QString externalIPv6Address() const;
    bool isLookupRunning() const { return m_watcher->isLookupRunning(); }

signals:
    void statusChanged(const QString& text);
    /// A lookup has started (the status line says "Looking up your IPs...").
    void lookupStarted();
    /// A lookup has ended, successfully or not.
    void lookupFinished(bool ok);

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

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildWindow();
    QWidget* buildAddressFrame();
    QWidget* buildDnsFrame();
    QWidget* buildProgramFrame();
    QWidget* buildWhoisFrame();
    QWidget* buildAutomationFrame();
    QWidget* buildNotificationFrame();
    void buildMenus();
    void restoreToggle(QCheckBox* box, Key key);
    void showAddresses();

    Settings& m_settings;
    ProductInfo m_product;
    AddressWatcher* m_watcher = nullptr;
    bool m_unloaded = false;

    NotificationHooks* m_notifications = nullptr;
    NetToolsHooks* m_netTools = nullptr;
    DesktopHooks* m_desktop = nullptr;
    std::function<void()> m_quit;

    QLabel* Label1 = nullptr;  // external address
    QLabel* Label2 = nullptr;  // internal address
    QLabel* lblIPv6 = nullptr; // external IPv6 address
    QPushButton* cmdCopy1 = nullptr;
    QPushButton* cmdCopy2 = nullptr;
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
