// The window's lookup over nginx sources, nginx's /hook/ telling whether a change was notified; the sources pane.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "core/AddressSourceSettings.h"
#include "app/MainWindowWiring.h"
#include "mainwindow/Form1.h"
#include "core/Settings.h"
#include "discovery/SourceUri.h"
#include "configure/AddressSourcesPane.h"
#include "notify/NotificationService.h"
#include "configure/NotificationWindows.h"
#include "notify/WatcherNotificationHost.h"
#include "configure/frmConfigure.h"
#include "platform/ProcessLauncher.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

class TestAddressWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void lookupOutcome_data();
    void lookupOutcome();
    void networkChangeDuringLookupRunsOneMore();
    void failedLookupMarksTheAddressesStale();
    void windowMadeAtLoadShowsTheLookupBeforeIt();
    void setupOpensOneDialogAndShutdownClosesIt();
    void paneEditsAreStoredAtOnce();
    void paneRefusesMalformedSource();
    void paneTestAsksEverySource();

private:
    template <typename W> W* child(const char* name) { return m_pane->findChild<W*>(QLatin1String(name)); }
    void openPane(const QByteArray& sources);
    void add(const QString& uri);
    QString stored(const char* key) { return m_paneSettings->read(QLatin1String(key), QStringLiteral("(absent)")); }

    void load(const QByteArray& stored, bool ipv6Route = true);
    /// Drops the window and what hangs on it, then makes a watcher on @p settingsFile.
    void restart(const QByteArray& settingsFile);
    QString source(const QString& name, const QByteArray& content);

    NginxPeer m_nginx;
    TempConfigHome m_home;
    std::unique_ptr<Settings> m_settings;
    DetachedProcessLauncher m_launcher;
    std::unique_ptr<AddressWatcher> m_watcher;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<WatcherNotificationHost> m_host;
    std::unique_ptr<NotificationService> m_service;
    std::unique_ptr<NotificationWindows> m_windows;
    std::unique_ptr<Settings> m_paneSettings;
    std::unique_ptr<AddressSourcesPane> m_pane;
};

void TestAddressWindow::initTestCase()
{
    QVERIFY2(m_nginx.start(), qPrintable(m_nginx.error()));
}

QString TestAddressWindow::source(const QString& name, const QByteArray& content)
{
    m_nginx.setBody(name, content);
    // "a1" on nginx's second address: one server is one voice, and two must agree.
    const QString url = m_nginx.url(QStringLiteral("/body/") + name).toString();
    return name == "a1" ? QString(url).replace("127.0.0.1", "127.0.0.2") : url;
}

void TestAddressWindow::load(const QByteArray& stored, bool ipv6Route)
{
    const QByteArray hook = m_nginx.url(QStringLiteral("/hook/")).toEncoded() + "?e=$ExternalIP$&v6=$ExternalIPv6$";
    restart("[Settings]\nshowHelp=0\nwebNotify=1\nOldInternal=10.0.0.2\nOldExternal=198.51.100.1\nstrURL=" + hook + "\n" +
            stored);
    m_form = std::make_unique<Form1>(*m_watcher, *m_settings);
    m_host = std::make_unique<WatcherNotificationHost>(*m_watcher);
    m_service = std::make_unique<NotificationService>(*m_host, m_launcher);
    m_windows = std::make_unique<NotificationWindows>(*m_host, *m_service, m_form.get());
    m_watcher->setNotifiers(m_service.get());
    connectMainWindow(*m_form, {.configuration = m_windows.get(), .quit = {}});
    m_watcher->setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
    m_watcher->setIPv6RouteProbe([ipv6Route] { return ipv6Route; });
    QSignalSpy done(m_watcher.get(), &AddressWatcher::cycleFinished); // the lookup and the notices it started
    m_form->Form_Load();
    QVERIFY(m_form->isLookupRunning()); // Form_Load returned before any source answered
    QVERIFY(done.wait(10000));
}

void TestAddressWindow::restart(const QByteArray& settingsFile)
{
    m_home.writeSettingsFile(settingsFile);
    m_windows.reset();
    m_service.reset();
    m_host.reset();
    m_form.reset();
    m_settings = std::make_unique<Settings>(m_home.settingsPath());
    m_watcher = std::make_unique<AddressWatcher>(*m_settings);
}

void TestAddressWindow::lookupOutcome_data()
{
    QTest::addColumn<QByteArrayList>("answers"); // one IPv4 source each
    QTest::addColumn<QByteArray>("answer6");     // the IPv6 source; none when empty
    QTest::addColumn<bool>("route6");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("shown");      // External: then External IPv6:
    QTest::addColumn<QString>("hook");       // the web notification's URI, empty for none
    QTest::addColumn<QString>("remembered"); // OldExternalIPv6 afterwards
    QTest::addColumn<QString>("state");      // the headline of the state at a glance
    using L = QByteArrayList;
    const QString k4 = "2001:db8::4", k5 = "2001:db8::5", none, current = "Current", hit = "Success: ok";
    const QString done = "Finished looking up IPs", zero = "000.000.000.000 none", one = "203.0.113.1 none";
    const QString both = "203.0.113.1 2001:db8::5";
    const QByteArray a = "203.0.113.1", v5 = "2001:db8::5", old6 = "OldExternalIPv6=2001:db8::4\n";
    const QByteArray old = "OldExternal=203.0.113.1\n" + old6;
    QTest::newRow("agree") << L{a, a + "\n"} << QByteArray() << true << QByteArray() << hit << one
                           << "/hook/?e=203.0.113.1&v6=none" << none << current;
    QTest::newRow("disagree") << L{a, "198.51.100.2"} << v5 << true << old6 << "Error: Address sources disagree."
                              << zero << none << k4 << "Error: sources disagree";
    QTest::newRow("one of two fails") << L{a, "error"} << v5 << true << old6
                                      << "Error: The address sources answered badly." << zero << none << k4
                                      << "Error: sources answered badly";
    QTest::newRow("one answers, one unreachable")
        << L{a, "(refused)"} << v5 << true << old6 << "Error: Too few address sources answered." << zero << none << k4
        << "Error: too few sources answered";
    QTest::newRow("no connection") << L{"(refused)"} << v5 << true << old6 << "Error: Connection not available." << zero
                                   << none << k4 << "Error: no connection";
    QTest::newRow("IPv6 changed") << L{a} << v5 << true << old << hit << both << "/hook/?e=203.0.113.1&v6=2001:db8::5"
                                  << k5 << current;
    QTest::newRow("no IPv6 route") << L{a} << v5 << false << old << done << one << none << k4 << current;
    QTest::newRow("IPv6 fails: the remembered one")
        << L{a} << QByteArray("error") << true << old << done << "203.0.113.1 2001:db8::4" << none << k4 << current;
}

void TestAddressWindow::lookupOutcome()
{
    QFETCH(QByteArrayList, answers);
    QFETCH(QByteArray, answer6);
    QFETCH(bool, route6);
    QFETCH(QByteArray, stored);
    QStringList sources;
    for (const QByteArray& answer : answers) // port 1 on loopback: refused, nothing answers
        sources << (answer == "(refused)" ? QStringLiteral("http://127.0.0.1:1/")
                                          : source(QStringLiteral("a%1").arg(sources.size()), answer));
    qputenv("VISTREL_ADDRESS_SOURCES", sources.join(QLatin1Char(' ')).toUtf8());
    qputenv("VISTREL_ADDRESS6_SOURCES", answer6.isEmpty() ? QByteArray() : source("v6", answer6).toUtf8());
    const qsizetype logBefore = m_nginx.accessLog().size();
    load(stored, route6);
    QTEST(m_form->status(), "status");
    QTEST(m_form->externalAddress() + QLatin1Char(' ') + m_form->externalIPv6Address(), "shown");
    const QStringList requests = m_nginx.accessLog().mid(logBefore);
    QTEST(requests.filter(QStringLiteral("/hook/")).join(QString()).section(QLatin1Char('\t'), 0, 0), "hook");
    QTEST(m_settings->read(QStringLiteral("OldExternalIPv6"), QString()), "remembered");
    QVERIFY(route6 || requests.filter(QStringLiteral("/body/v6")).isEmpty()); // no route: the IPv6 source is not asked
    QTEST(m_watcher->state().headline(), "state");
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("lblState"))->text(), m_watcher->state().headline());
}

void TestAddressWindow::failedLookupMarksTheAddressesStale()
{
    // The first run with no source that works: the machine's own address shows all the same, and only it copies.
    qputenv("VISTREL_ADDRESS_SOURCES", source(QStringLiteral("a"), "<html>Service Error</html>").toUtf8());
    load(QByteArray());
    QCOMPARE(m_form->internalAddress(), QStringLiteral("10.0.0.2"));
    const auto enabled = [this](const char* name) { return m_form->findChild<QPushButton*>(name)->isEnabled(); };
    QCOMPARE((QList<bool>{enabled("cmdCopy1"), enabled("cmdCopy2"), enabled("cmdCopy6")}),
             (QList<bool>{true, false, false}));
    source(QStringLiteral("a"), "203.0.113.1");
    load(QByteArray());
    QVERIFY(enabled("cmdCopy2"));
    QCOMPARE(m_watcher->state().condition, WatchState::Condition::Current);
    auto* asOf = m_form->findChild<QLabel*>(QStringLiteral("lblAsOf2"));
    QVERIFY(asOf->isHidden());
    source(QStringLiteral("a"), "<html>Service Error</html>");
    QSignalSpy done(m_form.get(), &Form1::lookupFinished);
    m_form->Command1_Click();
    QVERIFY(done.wait(10000));
    // The address from before stays, said to be as old as it is; the state tells why.
    const WatchState& state = m_watcher->state();
    const QString when = state.asOf.toString(u"HH:mm");
    QCOMPARE(m_form->externalAddress(), QStringLiteral("203.0.113.1"));
    QVERIFY(!asOf->isHidden() && asOf->text() == "as of " + when);
    QCOMPARE(state.headline(), "Stale: sources answered badly; addresses as of " + when);
    QVERIFY2(state.problem.details.contains(QStringLiteral("body is not one address")),
             qPrintable(state.problem.details));
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("Label1"))->accessibleName(),
             "External: 203.0.113.1 (as of " + when + u')');
    QVERIFY(state.lastChecked >= state.asOf && !state.nextCheck.isValid()); // auto refresh is off
}

void TestAddressWindow::windowMadeAtLoadShowsTheLookupBeforeIt()
{
    // As the program starts: the lookup runs behind the splash, and the widgets are made when it hands over.
    qputenv("VISTREL_ADDRESS_SOURCES", source(QStringLiteral("a"), "203.0.113.9").toUtf8());
    qputenv("VISTREL_ADDRESS6_SOURCES", QByteArray());
    restart("[Settings]\nshowHelp=0\nOldExternal=198.51.100.1\n");
    m_watcher->setLocalAddressSource([] { return QStringLiteral("10.0.0.7"); });
    m_form = std::make_unique<Form1>(*m_watcher, *m_settings, Form1::Build::AtLoad);
    QSignalSpy statuses(m_form.get(), &Form1::statusChanged);
    QSignalSpy done(m_watcher.get(), &AddressWatcher::cycleFinished);
    m_watcher->load();
    m_watcher->lookUp();
    QVERIFY(done.wait(10000));
    QVERIFY(!m_form->findChild<QLabel*>(QStringLiteral("lblState"))); // nothing made yet, and nothing missed
    QCOMPARE(statuses.constLast().constFirst().toString(), QStringLiteral("Finished looking up IPs"));

    m_form->Form_Load();
    QCOMPARE(m_watcher->lookupsStarted(), 1); // the lookup behind the splash counts as the window's
    QCOMPARE(m_form->status(), QStringLiteral("Finished looking up IPs"));
    QCOMPARE(m_form->externalAddress(), QStringLiteral("203.0.113.9"));
    QCOMPARE(m_form->internalAddress(), QStringLiteral("10.0.0.7"));
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("lblState"))->text(), m_watcher->state().headline());
    m_form->build(); // made once
    QCOMPARE(m_form->findChildren<QLabel*>(QStringLiteral("lblState")).size(), 1);
}

void TestAddressWindow::networkChangeDuringLookupRunsOneMore()
{
    qputenv("VISTREL_ADDRESS_SOURCES", source(QStringLiteral("a"), "203.0.113.1").toUtf8());
    load(QByteArray());
    QSignalSpy started(m_form.get(), &Form1::lookupStarted);
    QSignalSpy done(m_form.get(), &Form1::lookupFinished);
    m_form->Command1_Click();
    QCOMPARE(m_form->status(), QStringLiteral("Looking up your IPs..."));
    // Changes while it runs: that lookup may have asked over the old network, so one more follows.
    m_form->networkChanged();
    m_form->networkChanged();
    m_form->Command1_Click(); // a click while it runs is dropped, as before
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
    QTest::qWait(300);
    QCOMPARE(started.size(), 2);
}

void TestAddressWindow::setupOpensOneDialogAndShutdownClosesIt()
{
    qputenv("VISTREL_ADDRESS_SOURCES", source(QStringLiteral("a"), "203.0.113.1").toUtf8());
    load(QByteArray());
    auto* setup = m_form->findChild<QPushButton*>(QStringLiteral("Command3"));
    QTest::mouseClick(setup, Qt::LeftButton);
    QPointer<frmConfigure> dialog = m_windows->configuration();
    QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
    // The dialog's test shows its outcome in its tab; the main window's status stays what the watcher said.
    const QString status = m_form->status();
    auto* result = dialog->findChild<QLabel*>(QStringLiteral("lblWebResult"));
    dialog->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(result->text().contains(QStringLiteral("(requested ")), 10000);
    QCOMPARE(m_form->status(), status);
    QTest::mouseClick(setup, Qt::LeftButton);
    QCOMPARE(m_windows->configuration(), dialog.data()); // the open one comes to the front
    m_form->close();
    QTRY_VERIFY(dialog.isNull());
}

void TestAddressWindow::openPane(const QByteArray& sources)
{
    m_pane.reset();
    qunsetenv("VISTREL_ADDRESS_SOURCES"); // the environment's list would replace the file's
    qunsetenv("VISTREL_ADDRESS6_SOURCES");
    m_home.writeSettingsFile("[Settings]\naddressSources=" + sources + "\n");
    m_paneSettings = std::make_unique<Settings>(m_home.settingsPath());
    m_pane = std::make_unique<AddressSourcesPane>(*m_paneSettings);
}

void TestAddressWindow::add(const QString& uri)
{
    child<QLineEdit>("txtNewSource")->setText(uri);
    child<QPushButton>("cmdAdd")->click();
}

void TestAddressWindow::paneEditsAreStoredAtOnce()
{
    openPane("https://a.example dns://192.0.2.53/me?type=A");
    const QString a = QStringLiteral("https://a.example"), dns = QStringLiteral("dns://192.0.2.53/me?type=A");
    QCOMPARE(m_pane->shownSources(), (QStringList{a, dns}));
    add(QStringLiteral("stun:192.0.2.9:3478"));
    QCOMPARE(stored("addressSources"), a + " " + dns + " stun:192.0.2.9:3478");
    auto* list = child<QTreeWidget>("lstSources");
    list->setCurrentItem(list->topLevelItem(2));
    child<QPushButton>("cmdUp")->click();
    child<QPushButton>("cmdUp")->click();
    QVERIFY(!child<QPushButton>("cmdUp")->isEnabled()); // at the top
    QCOMPARE(stored("addressSources"), "stun:192.0.2.9:3478 " + a + " " + dns);
    child<QPushButton>("cmdDown")->click();
    child<QPushButton>("cmdRemove")->click();
    QCOMPARE(stored("addressSources"), a + " " + dns);

    // The IPv6 list is a list of its own: the default until edited, emptied on purpose stays empty.
    QCOMPARE(stored("address6Sources"), QStringLiteral("(absent)"));
    child<QComboBox>("cmbFamily")->setCurrentIndex(1);
    QVERIFY(m_pane->shownSources().size() > 1);
    while (list->topLevelItemCount() > 0) {
        list->setCurrentItem(list->topLevelItem(0));
        child<QPushButton>("cmdRemove")->click();
    }
    QCOMPARE(stored("address6Sources"), QString());
    QVERIFY(AddressSourceSettings(*m_paneSettings).ipv6Sources().isEmpty()); // not the default again
    QCOMPARE(stored("addressSources"), a + " " + dns);
}

void TestAddressWindow::paneRefusesMalformedSource()
{
    for (const QString& uri : {QStringLiteral("stun:192.0.2.9:99999"), QString()}) {
        openPane("https://a.example");
        add(uri);
        QString reason;
        QVERIFY(!checkSourceUri(uri, &reason));
        QCOMPARE(child<QLabel>("lblMessage")->text(), QStringLiteral("Not added: ") + reason);
        QCOMPARE(stored("addressSources"), QStringLiteral("https://a.example"));
        QCOMPARE(child<QLineEdit>("txtNewSource")->text(), uri); // kept for mending
    }
}

void TestAddressWindow::paneTestAsksEverySource()
{
    const QString ip = source("ip", "203.0.113.1\n"), lan = source("private", "192.168.1.1\n");
    openPane(QStringLiteral("%1 %2 %3 bogus:x").arg(ip, m_nginx.url("/body/missing").toString(), lan).toUtf8());
    QSignalSpy done(m_pane.get(), &AddressSourcesPane::testFinished);
    child<QPushButton>("cmdTest")->click();
    QVERIFY(done.wait(10000));
    auto* list = child<QTreeWidget>("lstSources");
    const auto result = [list](int row) { return list->topLevelItem(row)->text(1); };
    QVERIFY2(QRegularExpression(QStringLiteral("^203\\.0\\.113\\.1 \\(\\d+ ms\\)$")).match(result(0)).hasMatch(),
             qPrintable(result(0)));
    QVERIFY2(result(1).startsWith(QStringLiteral("failed after ")), qPrintable(result(1)));
    QVERIFY2(result(2).endsWith(QStringLiteral("not a public address: not counted")), qPrintable(result(2)));
    QVERIFY2(result(3).startsWith(QStringLiteral("not asked: ")), qPrintable(result(3)));
    QCOMPARE(m_nginx.accessLog().filter(QStringLiteral("/body/ip")).size(), 1);
}

QTEST_MAIN(TestAddressWindow)
#include "tst_addresswindow.moc"
