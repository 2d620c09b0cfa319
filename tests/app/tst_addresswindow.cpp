// The main window's lookup over several sources against nginx: agreement, disagreement and the IPv6
// line, with the web notification (the real notifier, nginx's /hook/) telling whether a change was seen.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "app/Form1.h"
#include "app/Settings.h"
#include "notify/Form1NotificationHost.h"
#include "notify/NotificationService.h"
#include "platform/HttpGet.h"
#include "platform/ProcessLauncher.h"

#include <QtTest>

class TestAddressWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void sourcesMustAgree_data();
    void sourcesMustAgree();
    void ipv6Line_data();
    void ipv6Line();
    void networkChangeDuringLookupRunsOneMore();

private:
    /// A window over a store holding @p stored, with web notification to nginx's /hook/.
    void load(const QByteArray& stored, bool ipv6Route = true);
    QString source(const char* body, const QByteArray& content);
    QStringList hooks() const { return m_nginx.accessLog().mid(m_logBefore).filter(QStringLiteral("/hook/")); }

    NginxPeer m_nginx;
    std::unique_ptr<TempConfigHome> m_home;
    std::unique_ptr<Settings> m_settings;
    HttpGet m_http;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<Form1NotificationHost> m_host;
    std::unique_ptr<NotificationService> m_service;
    DetachedProcessLauncher m_launcher;
    int m_logBefore = 0;
};

void TestAddressWindow::initTestCase()
{
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

void TestAddressWindow::cleanup()
{
    m_service.reset();
    m_host.reset();
    m_form.reset();
    qunsetenv("VISTREL_ADDRESS6_SOURCES");
}

QString TestAddressWindow::source(const char* body, const QByteArray& content)
{
    m_nginx.setBody(QLatin1String(body), content);
    return m_nginx.url(QStringLiteral("/body/") + QLatin1String(body)).toString();
}

void TestAddressWindow::load(const QByteArray& stored, bool ipv6Route)
{
    m_home = std::make_unique<TempConfigHome>();
    const QByteArray hook = m_nginx.url(QStringLiteral("/hook/")).toEncoded() + "?e=$ExternalIP$&v6=$ExternalIPv6$";
    m_home->writeSettingsFile("[Settings]\nshowHelp=0\nwebNotify=1\nOldInternal=10.0.0.2\nstrURL=" + hook + "\n" +
                              stored);
    m_settings = std::make_unique<Settings>(m_home->settingsPath());
    m_form = std::make_unique<Form1>(*m_settings, m_http);
    m_host = std::make_unique<Form1NotificationHost>(*m_form);
    m_service = std::make_unique<NotificationService>(*m_host, m_launcher, m_form.get());
    m_form->setNotificationHooks(m_service.get());
    m_form->setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
    m_form->setIPv6RouteProbe([ipv6Route] { return ipv6Route; });
    m_form->setQuit([] {});
    m_logBefore = int(m_nginx.accessLog().size());
    QSignalSpy done(m_form.get(), &Form1::lookupFinished);
    m_form->Form_Load();
    QVERIFY(m_form->isLookupRunning());  // Form_Load returned before any source answered
    QVERIFY(done.wait(10000));
}

void TestAddressWindow::sourcesMustAgree_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("notified");
    const QString finished = QStringLiteral("Finished looking up IPs");
    const QString unavailable = QStringLiteral("Error: Connection not available.");
    const QString none = QStringLiteral("000.000.000.000");
    QTest::newRow("two agree") << QByteArray("203.0.113.1\n") << QByteArray("203.0.113.1") << QByteArray() << finished
                               << QStringLiteral("203.0.113.1") << true;
    QTest::newRow("two disagree") << QByteArray("203.0.113.1") << QByteArray("198.51.100.2") << QByteArray()
                                  << QStringLiteral("Error: Address sources disagree.") << none << false;
    QTest::newRow("one of two fails") << QByteArray("203.0.113.1") << QByteArray("error") << QByteArray()
                                      << unavailable << none << false;
    QTest::newRow("quorum of one") << QByteArray("203.0.113.1") << QByteArray("error")
                                   << QByteArray("addressQuorum=1\n") << finished << QStringLiteral("203.0.113.1")
                                   << true;
    QTest::newRow("private answers") << QByteArray("10.0.0.1") << QByteArray("10.0.0.1") << QByteArray()
                                     << unavailable << none << false;
    QTest::newRow("IPv6 on the IPv4 list") << QByteArray("2001:db8::1") << QByteArray("2001:db8::1") << QByteArray()
                                           << unavailable << none << false;
}

void TestAddressWindow::sourcesMustAgree()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, stored);
    QFETCH(QString, status);
    QFETCH(QString, shown);
    QFETCH(bool, notified);
    qputenv("VISTREL_ADDRESS_SOURCES", (source("a", first) + QLatin1Char(' ') + source("b", second)).toUtf8());
    load("OldExternal=198.51.100.1\n" + stored);
    QCOMPARE(m_form->status(), status);
    QCOMPARE(m_form->externalAddress(), shown);
    QCOMPARE(hooks().size(), notified ? 1 : 0);
    QCOMPARE(m_settings->read(QStringLiteral("OldExternal"), QString()),
             notified ? shown : QStringLiteral("198.51.100.1"));
}

void TestAddressWindow::ipv6Line_data()
{
    QTest::addColumn<bool>("route");
    QTest::addColumn<QByteArray>("answer");  // empty: no IPv6 sources
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<bool>("notified");
    const QString v5 = QStringLiteral("2001:db8::5");
    const QString v4 = QStringLiteral("2001:db8::4");
    // A file from before the IPv6 line: the first IPv6 address seen is remembered, not a change.
    QTest::newRow("first seen") << true << QByteArray("2001:db8::5\n") << QByteArray() << v5 << v5 << false;
    QTest::newRow("changed") << true << QByteArray("2001:db8::5") << QByteArray("OldExternalIPv6=2001:db8::4\n")
                             << v5 << v5 << true;
    QTest::newRow("unchanged") << true << QByteArray("2001:db8::5") << QByteArray("OldExternalIPv6=2001:db8::5\n")
                               << v5 << v5 << false;
    QTest::newRow("no route") << false << QByteArray("2001:db8::5") << QByteArray("OldExternalIPv6=2001:db8::4\n")
                              << QStringLiteral("none") << v4 << false;
    QTest::newRow("no sources") << true << QByteArray() << QByteArray("OldExternalIPv6=2001:db8::4\n")
                                << QStringLiteral("none") << v4 << false;
    // The IPv4 sources answered but the IPv6 one did not: keep what was known, tell nobody.
    QTest::newRow("sources fail") << true << QByteArray("error") << QByteArray("OldExternalIPv6=2001:db8::4\n")
                                  << QStringLiteral("none") << v4 << false;
    QTest::newRow("IPv4 on the IPv6 list") << true << QByteArray("203.0.113.1")
                                           << QByteArray("OldExternalIPv6=2001:db8::4\n") << QStringLiteral("none")
                                           << v4 << false;
}

void TestAddressWindow::ipv6Line()
{
    QFETCH(bool, route);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    QFETCH(QString, remembered);
    QFETCH(bool, notified);
    qputenv("VISTREL_ADDRESS_SOURCES", source("a", "203.0.113.1").toUtf8());
    if (!answer.isEmpty())
        qputenv("VISTREL_ADDRESS6_SOURCES", source("v6", answer).toUtf8());
    load("OldExternal=203.0.113.1\n" + stored, route);
    QCOMPARE(m_form->status(), QStringLiteral("Finished looking up IPs"));
    QCOMPARE(m_form->externalIPv6Address(), shown);
    QCOMPARE(m_settings->read(QStringLiteral("OldExternalIPv6"), QStringLiteral("0")), remembered);
    const QStringList hooked = hooks();
    QCOMPARE(hooked.size(), notified ? 1 : 0);
    if (notified)  // $ExternalIPv6$ in the URL
        QCOMPARE(hooked.first().section(QLatin1Char('\t'), 0, 0), "/hook/?e=203.0.113.1&v6=" + shown);
    if (!route)  // without a route the IPv6 sources are not even asked
        QVERIFY(m_nginx.accessLog().mid(m_logBefore).filter(QStringLiteral("/body/v6")).isEmpty());
}

void TestAddressWindow::networkChangeDuringLookupRunsOneMore()
{
    qputenv("VISTREL_ADDRESS_SOURCES", source("a", "203.0.113.1").toUtf8());
    load(QByteArray());
    QSignalSpy started(m_form.get(), &Form1::lookupStarted);
    QSignalSpy done(m_form.get(), &Form1::lookupFinished);
    m_form->Command1_Click();
    QCOMPARE(m_form->status(), QStringLiteral("Looking up your IPs..."));
    // Changes while it runs: that lookup may have asked over the old network, so one more follows.
    m_form->networkChanged();
    m_form->networkChanged();
    m_form->Command1_Click();  // a click while it runs is dropped, as before
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
    QTest::qWait(300);
    QCOMPARE(started.size(), 2);
    QVERIFY(!m_form->isLookupRunning());
}

QTEST_MAIN(TestAddressWindow)
#include "tst_addresswindow.moc"
