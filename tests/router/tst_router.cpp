// The router's WAN address, asked of miniupnpd in network namespaces this test makes: it moves itself into a
// namespace of its own first, so that the gateway, the router and everything they say stay in there.
#include "NginxPeer.h"
#include "RouterAnswerText.h"
#include "TempConfigHome.h"

#include "core/AddressWatcher.h"
#include "core/Settings.h"
#include "platform/DefaultGateway.h"
#include "router/IgdQuery.h"
#include "router/RouterQuery.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <sched.h>

namespace {

const QString CarrierGrade = QStringLiteral("Behind carrier-grade NAT: incoming connections cannot reach this line");

RouterAnswer answerFrom(QObject* query, const char* finished)
{
    QSignalSpy spy(query, finished);
    if (spy.isEmpty())
        spy.wait(5000);
    return spy.isEmpty() ? RouterAnswer{} : spy.first().first().value<RouterAnswer>();
}

// The most this process has had in RAM since resetPeak(), in KiB (Linux's VmHWM).
qint64 peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmHWM:");
    return at < 0 ? -1 : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').value(0).toLongLong();
}

bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

} // namespace

Q_DECLARE_METATYPE(RouterAnswer)

class TestRouter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void router_data();
    void router();
    void anEndlessDescriptionIsCutOff();
    void onceLogsTheNotice();

private:
    [[nodiscard]] bool startRouter(PeerProcess& peer, const QStringList& args);
    NginxPeer m_nginx;
};

void TestRouter::initTestCase()
{
    qRegisterMetaType<RouterAnswer>();
    if (unshare(CLONE_NEWNET) != 0)
        QSKIP("network namespaces cannot be made here (run as root, as CI does)");
    QCOMPARE(QProcess::execute("ip", {"link", "set", "lo", "up"}), 0);
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
    m_nginx.setBody(QStringLiteral("ip"), "100.128.3.5");
}

bool TestRouter::startRouter(PeerProcess& peer, const QStringList& args)
{
    QString error;
    if (!peer.start(QStringLiteral("router_peer.py"), args, &error)) {
        qWarning().noquote() << error;
        return false;
    }
    return true;
}

void TestRouter::router_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("upnp");   // what UPnP alone tells
    QTest::addColumn<QString>("shown");  // the router's line
    QTest::addColumn<QString>("notice"); // told once over two lookups; "" for nothing
    QTest::newRow("public, as agreed") << QStringList{"--wan", "100.128.3.5/24"} << "100.128.3.5"
                                       << "100.128.3.5 (PCP)"
                                       << "";
    // PCP cannot map behind a shared address (miniupnpd says it has no resources): NAT-PMP tells.
    QTest::newRow("shared space, withheld") << QStringList{"--wan", "100.64.3.4/10"} << "withheld"
                                            << "no public address (NAT-PMP)" << CarrierGrade;
    QTest::newRow("STUN: another address")
        << QStringList{"--wan", "100.64.3.4/10", "--stun", "100.128.9.9"} << "100.128.9.9"
        << "100.128.9.9 (NAT-PMP)" << CarrierGrade;
    QTest::newRow("STUN: the agreed address")
        << QStringList{"--wan", "100.64.3.4/10", "--stun", "100.128.3.5"} << "100.128.3.5"
        << "100.128.3.5 (NAT-PMP)"
        << "";
    QTest::newRow("UPnP: a short form") << QStringList{"--igd", "100.64"} << "bad"
                                        << "answered badly (UPnP)"
                                        << "";
    QTest::newRow("no router answers") << QStringList{"--silent"} << "none"
                                       << "no answer"
                                       << "";
}

void TestRouter::router()
{
    QFETCH(QStringList, args);
    QFETCH(QString, upnp);
    QFETCH(QString, shown);
    QFETCH(QString, notice);
    PeerProcess peer;
    QVERIFY(startRouter(peer, args));
    QCOMPARE(defaultGatewayIPv4(), QHostAddress(QStringLiteral("192.168.77.1")));

    IgdQuery igd;
    igd.start(defaultGatewayIPv4(), RouterQuery::UpnpTimeoutMs);
    const RouterAnswer answer = answerFrom(&igd, SIGNAL(finished(RouterAnswer)));
    QCOMPARE(told(answer), upnp);
    QCOMPARE(answer.method, answer.kind == RouterAnswer::Kind::None ? QString() : QStringLiteral("UPnP"));

    TempConfigHome home;
    home.writeSettingsFile("[Settings]\naddressQuorum=1\naddress6Sources=\naddressSources=" +
                           m_nginx.url(QStringLiteral("/body/ip")).toEncoded() + '\n');
    Settings settings(home.settingsPath());
    RouterQuery query;
    AddressWatcher watcher(settings);
    watcher.setRouterQuery(&query);
    QSignalSpy cycles(&watcher, &AddressWatcher::cycleFinished);
    QSignalSpy changes(&watcher, &AddressWatcher::natChanged);
    for (int lookup = 1; lookup <= 2; ++lookup) {
        QElapsedTimer timer;
        timer.start();
        watcher.lookUp();
        QTRY_COMPARE_WITH_TIMEOUT(cycles.size(), lookup, 6000);
        QVERIFY2(timer.elapsed() < RouterQuery::UpnpTimeoutMs + 1000, "the router's part is bounded");
        QCOMPARE(watcher.routerText(), shown);
    }
    QCOMPARE(changes.size(), notice.isEmpty() ? 0 : 1);
    if (!notice.isEmpty()) {
        QCOMPARE(changes.first().at(2).toString(), notice);
        QCOMPARE(settings.readInt(Key::LineNat), int(RouterCheck::Nat::CarrierGrade));
    }
}

// A gateway whose description never ends: the query ends as a bad answer at once, and holds no more of it than the
// limit, however fast the gateway sends.
void TestRouter::anEndlessDescriptionIsCutOff()
{
    PeerProcess peer;
    QVERIFY(startRouter(peer, {"--igd", "100.128.3.5", "--endless"}));
    QVERIFY(resetPeak());
    const qint64 before = peakKiB();
    QElapsedTimer timer;
    timer.start();
    IgdQuery igd;
    igd.start(defaultGatewayIPv4(), RouterQuery::UpnpTimeoutMs);
    QCOMPARE(told(answerFrom(&igd, SIGNAL(finished(RouterAnswer)))), QStringLiteral("bad"));
    QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
    const qint64 grown = peakKiB() - before;
    QVERIFY2(before > 0 && grown < 4096, qPrintable(QStringLiteral("%1 KiB more").arg(grown)));
}

// The program itself, as cron runs it, behind the router that withholds its shared address: the log says what the
// router answered and gives the notice, and a second run says it no more.
void TestRouter::onceLogsTheNotice()
{
    PeerProcess peer;
    QVERIFY(startRouter(peer, {"--wan", "100.64.3.4/10"}));
    TempConfigHome home;
    const QByteArray sources = m_nginx.url(QStringLiteral("/body/ip")).toEncoded();
    home.writeSettingsFile("[Settings]\naddressQuorum=1\naddress6Sources=\naddressSources=" + sources + '\n');
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VISTREL_ADDRESS_SOURCES"), QString::fromUtf8(sources));
    environment.insert(QStringLiteral("VISTREL_ASK_ROUTER"), QStringLiteral("1"));
    for (const bool first : {true, false}) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(VISTREL_TEST_BINARY), {QStringLiteral("--once")});
        QVERIFY(program.waitForFinished(15000));
        const QString log = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(log.contains(QLatin1String("Router's WAN address: no public address (NAT-PMP)")), qPrintable(log));
        QCOMPARE(log.contains(CarrierGrade), first);
    }
}

QTEST_GUILESS_MAIN(TestRouter)
#include "tst_router.moc"
