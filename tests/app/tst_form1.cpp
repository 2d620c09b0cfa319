// The main window on the offscreen platform: start-up from an empty or a filled store, the lookup
// against nginx, the change test with its notifications in order, the refresh timer's ticks, the
// commands and the shutdown.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "app/Form1.h"
#include "app/Form1Hooks.h"
#include "app/Settings.h"
#include "platform/HttpGet.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// Record what the main window asks of the later subsystems, in order, into one list.
struct RecordingNotifications : NotificationHooks
{
    QStringList* calls = nullptr;
    Form1* form = nullptr;
    void cmdSend_Click() override { *calls << QStringLiteral("mail ") + form->externalAddress(); }
    void doHitURL() override { *calls << QStringLiteral("web"); }
    void doLauchProg() override { *calls << QStringLiteral("program"); }
    void showConfiguration() override { *calls << QStringLiteral("setup"); }
    void unload() override { *calls << QStringLiteral("unload notifications"); }
};

struct RecordingDesktop : DesktopHooks
{
    QStringList* calls = nullptr;
    bool runAtLogonWorks = true;
    bool overlayVisible = false;
    void setWindowIcons(QWidget*) override { *calls << QStringLiteral("icons"); }
    void addTrayIcon() override { *calls << QStringLiteral("tray on"); }
    void removeTrayIcon() override { *calls << QStringLiteral("tray off"); }
    void updateOverlay(const QString& internal, const QString& external) override
    {
        *calls << QStringLiteral("overlay %1 %2").arg(internal, external);
    }
    bool isOverlayVisible() const override { return overlayVisible; }
    void setOverlayVisible(bool visible) override { overlayVisible = visible; }
    void showHelp() override { *calls << QStringLiteral("help"); }
    void showAbout() override { *calls << QStringLiteral("about"); }
    void showWebsite() override { *calls << QStringLiteral("website"); }
    bool setRunAtLogon(bool enabled, QString* error) override
    {
        *calls << (enabled ? QStringLiteral("logon on") : QStringLiteral("logon off"));
        if (!runAtLogonWorks)
            *error = QStringLiteral("autostart folder is read-only");
        return runAtLogonWorks;
    }
    void mainWindowStateChanged(bool) override {}
    bool unload() override
    {
        *calls << QStringLiteral("unload desktop");
        return false;
    }
};

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstStartWithEmptyStore();
    void storedValuesAreRestored();
    void badStoredValuesCountAsDefaults();
    void failedLookupKeepsWhatWasShown();
    void changeNotifiesOnceInOrder();
    void failedLookupBetweenTwoChanges();
    void refreshTimerTicks();
    void commands();
    void runAtStartupFailureLeavesBoxUnticked();
    void closeShutsDown();

private:
    template <typename W> W* child(const char* name) { return m_form->findChild<W*>(QLatin1String(name)); }
    void load();
    /// Command1_Click, then the wait for its end (the lookup answers later).
    void refresh()
    {
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_form->Command1_Click();
        QVERIFY(done.wait(10000));
    }

    NginxPeer m_nginx;
    std::unique_ptr<TempConfigHome> m_home;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<HttpGet> m_http;
    std::unique_ptr<Form1> m_form;
    QStringList m_calls;
    RecordingNotifications m_notify;
    RecordingDesktop m_desktop;
    QStringList m_statuses;
    int m_quits = 0;
};

void TestForm1::initTestCase()
{
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

void TestForm1::init()
{
    m_home = std::make_unique<TempConfigHome>();
    m_settings = std::make_unique<Settings>(m_home->settingsPath());
    m_http = std::make_unique<HttpGet>();
    m_nginx.setBody(QStringLiteral("ip"), "203.0.113.1\n");
    qputenv("VISTREL_ADDRESS_URL", m_nginx.url(QStringLiteral("/body/ip")).toEncoded());
    m_calls.clear();
    m_notify = RecordingNotifications();
    m_notify.calls = &m_calls;
    m_desktop = RecordingDesktop();
    m_desktop.calls = &m_calls;
    m_statuses.clear();
    m_quits = 0;
}

void TestForm1::cleanup()
{
    m_form.reset();
    m_settings.reset();
    m_home.reset();
}

void TestForm1::load()
{
    m_form = std::make_unique<Form1>(*m_settings, *m_http);
    m_notify.form = m_form.get();
    m_form->setNotificationHooks(&m_notify);
    m_form->setDesktopHooks(&m_desktop);
    m_form->setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
    m_form->setQuit([this] { ++m_quits; });
    connect(m_form.get(), &Form1::statusChanged, this, [this](const QString& s) { m_statuses << s; });
    QSignalSpy done(m_form.get(), &Form1::lookupFinished);
    m_form->Form_Load();
    QVERIFY(done.wait(10000));
}

void TestForm1::firstStartWithEmptyStore()
{
    load();
    for (const char* box : {"chkMin", "Check1", "Check2", "Check3", "Check4", "Check5"})
        QVERIFY2(!child<QCheckBox>(box)->isChecked(), box);
    QVERIFY(!child<QPushButton>("Command3")->isEnabled());
    QVERIFY(!child<QTimer>("timRefresh")->isActive());
    QCOMPARE(child<QComboBox>("cmbRefresh")->currentText(), QStringLiteral("01 Minute"));
    QCOMPARE(m_form->refreshCycle().seconds(), 60);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Tarnwick IP Vistrel by Tarnwick Software"));
    QCOMPARE(child<QPushButton>("cmdWebsite")->text(), QStringLiteral("Visit tarnwicksoftware.com"));
    QCOMPARE(m_statuses, (QStringList{QStringLiteral("Looking up your IPs..."), QStringLiteral("Finished looking up IPs")}));
    QCOMPARE(m_form->externalAddress(), QStringLiteral("203.0.113.1"));
    QCOMPARE(m_form->internalAddress(), QStringLiteral("10.0.0.2"));
    QCOMPARE(m_calls, (QStringList{QStringLiteral("icons"), QStringLiteral("tray on"), QStringLiteral("help"),
                                         QStringLiteral("overlay 10.0.0.2 203.0.113.1")}));
    // Only the list selection and the two addresses were written.
    const QByteArray file = m_home->settingsFileBytes();
    QCOMPARE(file.count('='), 3);
    QVERIFY(file.contains("refreshrate=0"));
    QVERIFY(file.contains("OldExternal=203.0.113.1"));
    QVERIFY(file.contains("OldInternal=10.0.0.2"));
}

void TestForm1::storedValuesAreRestored()
{
    m_home->writeSettingsFile("[Settings]\nrefresh=1\nrefreshrate=3\nstartup=1\nwebNotify=1\nshowHelp=0\n"
                              "OldExternal=203.0.113.1\nOldInternal=10.0.0.2\n");
    load();
    QVERIFY(child<QCheckBox>("Check1")->isChecked());
    QVERIFY(child<QTimer>("timRefresh")->isActive());
    QCOMPARE(m_form->refreshCycle().seconds(), 1800);
    QVERIFY(child<QCheckBox>("Check2")->isChecked());
    QVERIFY(m_calls.contains(QStringLiteral("logon on")));  // registered again under the present path
    QVERIFY(child<QPushButton>("Command3")->isEnabled());
    QVERIFY(!m_calls.contains(QStringLiteral("help")));
    QVERIFY(!m_calls.contains(QStringLiteral("web")));  // same addresses: no change
    QCOMPARE(m_settings->read(QStringLiteral("refreshrate"), QString()), QStringLiteral("3"));
}

void TestForm1::badStoredValuesCountAsDefaults()
{
    m_home->writeSettingsFile("[Settings]\nrefresh=2\nrefreshrate=17\nemailNotify=yes\nchkMin=-1\nshowHelp=x\n");
    load();
    QVERIFY(!child<QCheckBox>("Check1")->isChecked());
    QVERIFY(!child<QCheckBox>("Check3")->isChecked());
    QVERIFY(!child<QCheckBox>("chkMin")->isChecked());
    QCOMPARE(child<QComboBox>("cmbRefresh")->currentIndex(), 0);
    QCOMPARE(m_form->refreshCycle().seconds(), 60);
    QVERIFY(m_calls.contains(QStringLiteral("help")));
}

void TestForm1::failedLookupKeepsWhatWasShown()
{
    m_nginx.setBody(QStringLiteral("ip"), "<html><body>Service Error</body></html>");
    load();
    QCOMPARE(m_form->status(), QStringLiteral("Error: Connection not available."));
    QCOMPARE(m_form->externalAddress(), QStringLiteral("000.000.000.000"));
    QCOMPARE(m_form->internalAddress(), QStringLiteral("000.000.000.000"));
    QVERIFY(!m_home->settingsFileBytes().contains("OldExternal"));
    child<QPushButton>("cmdCopy2")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("000.000.000.000"));

    // Nothing listens: the same failure, not an empty "address".
    qputenv("VISTREL_ADDRESS_URL", "http://127.0.0.1:1/extras/GetExternalIP.asp");
    refresh();
    QCOMPARE(m_form->status(), QStringLiteral("Error: Connection not available."));
    QCOMPARE(m_form->externalAddress(), QStringLiteral("000.000.000.000"));
}

void TestForm1::changeNotifiesOnceInOrder()
{
    m_home->writeSettingsFile("[Settings]\nemailNotify=1\nwebNotify=1\nprogramNotify=1\nshowHelp=0\n"
                              "OldExternal=203.0.113.9\nOldInternal=10.0.0.9\n");
    load();
    QCOMPARE(m_calls.mid(2), (QStringList{QStringLiteral("overlay 10.0.0.2 203.0.113.1"),
                                                QStringLiteral("mail 203.0.113.1"), QStringLiteral("web"),
                                                QStringLiteral("program")}));
    QCOMPARE(m_form->status(), QStringLiteral("Finished looking up IPs"));
    QCOMPARE(m_settings->read(QStringLiteral("OldExternal"), QString()), QStringLiteral("203.0.113.1"));

    // Same addresses again: nothing more. Only the internal one changes: notified again.
    m_calls.clear();
    refresh();
    QCOMPARE(m_calls, QStringList{QStringLiteral("overlay 10.0.0.2 203.0.113.1")});
    m_form->setLocalAddressSource([] { return QStringLiteral("10.0.0.3"); });
    m_calls.clear();
    refresh();
    QCOMPARE(m_calls.size(), 4);
}

void TestForm1::failedLookupBetweenTwoChanges()
{
    m_home->writeSettingsFile("[Settings]\nwebNotify=1\nshowHelp=0\n");
    load();
    m_calls.clear();
    m_nginx.setBody(QStringLiteral("ip"), "error");
    refresh();
    QCOMPARE(m_form->externalAddress(), QStringLiteral("203.0.113.1"));
    QVERIFY(m_calls.isEmpty());
    m_nginx.setBody(QStringLiteral("ip"), "203.0.113.2");
    refresh();
    QCOMPARE(m_calls, (QStringList{QStringLiteral("overlay 10.0.0.2 203.0.113.2"), QStringLiteral("web")}));
}

void TestForm1::refreshTimerTicks()
{
    load();
    int lookups = 0;
    connect(m_form.get(), &Form1::lookupFinished, this, [&lookups] { ++lookups; });
    auto* check1 = child<QCheckBox>("Check1");
    check1->click();
    QVERIFY(child<QTimer>("timRefresh")->isActive());
    QCOMPARE(child<QTimer>("timRefresh")->interval(), 1000);
    QCOMPARE(m_settings->read(QStringLiteral("refresh"), QString()), QStringLiteral("1"));
    for (int t = 0; t < 59; ++t)
        m_form->timRefresh_Timer();
    QCOMPARE(lookups, 0);
    m_form->timRefresh_Timer();
    QTRY_COMPARE(lookups, 1);

    // 05 Minutes, 200 ticks in, then back to 01 Minute: the next tick looks up.
    child<QComboBox>("cmbRefresh")->setCurrentIndex(1);
    QCOMPARE(m_settings->read(QStringLiteral("refreshrate"), QString()), QStringLiteral("1"));
    for (int t = 0; t < 200; ++t)
        m_form->timRefresh_Timer();
    QCOMPARE(lookups, 1);
    child<QComboBox>("cmbRefresh")->setCurrentIndex(0);
    m_form->timRefresh_Timer();
    QTRY_COMPARE(lookups, 2);

    check1->click();
    QVERIFY(!child<QTimer>("timRefresh")->isActive());
    QCOMPARE(m_settings->read(QStringLiteral("refresh"), QString()), QStringLiteral("0"));
    child<QPushButton>("Command1")->click();  // "Refresh" still works
    QTRY_COMPARE(lookups, 3);
}

void TestForm1::commands()
{
    load();
    child<QPushButton>("cmdCopy1")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("10.0.0.2"));
    child<QPushButton>("cmdCopy2")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("203.0.113.1"));

    auto* setup = child<QPushButton>("Command3");
    child<QCheckBox>("Check4")->click();
    QVERIFY(setup->isEnabled());
    QCOMPARE(m_settings->read(QStringLiteral("webNotify"), QString()), QStringLiteral("1"));
    child<QCheckBox>("Check4")->click();
    QVERIFY(!setup->isEnabled());
    QCOMPARE(m_settings->read(QStringLiteral("webNotify"), QString()), QStringLiteral("0"));
    child<QCheckBox>("chkMin")->click();
    QCOMPARE(m_settings->read(QStringLiteral("chkMin"), QString()), QStringLiteral("1"));

    auto* overlay = child<QPushButton>("Command2");
    overlay->click();
    QCOMPARE(overlay->text(), QStringLiteral("Turn off IP Address Overlay"));
    QVERIFY(m_desktop.overlayVisible);
    m_form->findChild<QAction*>(QStringLiteral("mnuActionItem0"))->trigger();
    QCOMPARE(overlay->text(), QStringLiteral("Turn on IP Address Overlay"));
    QVERIFY(!m_desktop.overlayVisible);
}

void TestForm1::runAtStartupFailureLeavesBoxUnticked()
{
    load();
    m_desktop.runAtLogonWorks = false;
    auto* check2 = child<QCheckBox>("Check2");
    check2->click();
    QVERIFY(!check2->isChecked());
    QCOMPARE(m_settings->read(QStringLiteral("startup"), QString()), QStringLiteral("0"));
    QVERIFY(m_form->status().startsWith(QStringLiteral("Error: ")));
}

void TestForm1::closeShutsDown()
{
    load();
    m_calls.clear();
    m_form->close();
    QCOMPARE(m_calls.first(), QStringLiteral("tray off"));
    QVERIFY(m_calls.contains(QStringLiteral("unload notifications")));
    QCOMPARE(m_quits, 1);
    m_form->Command1_Click();  // nothing runs after the window unloaded
    QCOMPARE(m_quits, 1);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
