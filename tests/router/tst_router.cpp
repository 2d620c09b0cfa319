// The router's WAN address, asked of miniupnpd in network namespaces this test makes: it moves itself into a
// namespace of its own first, so that the gateway, the router and everything they say stay in there.
#include "NginxPeer.h"
#include "TempConfigHome.h"

#include "core/AddressWatcher.h"
#include "core/Settings.h"
#include "platform/DefaultGateway.h"
#include "router/IgdQuery.h"
#include "router/IgdXml.h"
#include "router/PcpMessage.h"
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

QString told(const RouterAnswer& answer)
{
    switch (answer.kind) {
    case RouterAnswer::Kind::Address:
        return answer.address.toString();
    case RouterAnswer::Kind::Withheld:
        return QStringLiteral("withheld");
    case RouterAnswer::Kind::Bad:
        return QStringLiteral("bad");
    case RouterAnswer::Kind::None:
        break;
    }
    return QStringLiteral("none");
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
    void judge_data();
    void judge();
    void soapAnswer_data();
    void soapAnswer();
    void pcpAnswer_data();
    void pcpAnswer();
    void pcpEpoch();
    void router_data();
    void router();
    void anEndlessDescriptionIsCutOff();
    void onceLogsTheNotice();

private:
    [[nodiscard]] bool startRouter(PeerProcess& peer, const QStringList& args);
    NginxPeer m_nginx;
    bool m_namespaced = false;
};

void TestRouter::initTestCase()
{
    qRegisterMetaType<RouterAnswer>();
    m_namespaced = unshare(CLONE_NEWNET) == 0;
    if (!m_namespaced)
        return;
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

// What a router's answer says beside the agreed address (what miniupnpd cannot be made to say: it never tells a
// private or shared address).
void TestRouter::judge_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("wan");
    QTest::addColumn<QString>("agreed");
    QTest::addColumn<int>("nat"); // -1: says nothing
    using K = RouterAnswer::Kind;
    using N = RouterCheck::Nat;
    QTest::newRow("no answer") << int(K::None) << ""
                               << "100.128.3.5" << -1;
    QTest::newRow("withheld") << int(K::Withheld) << ""
                              << "" << int(N::CarrierGrade);
    QTest::newRow("shared space") << int(K::Address) << "100.127.255.254"
                                  << "" << int(N::CarrierGrade);
    QTest::newRow("past shared space") << int(K::Address) << "100.128.0.1"
                                       << "100.128.0.1" << int(N::None);
    QTest::newRow("private") << int(K::Address) << "192.168.178.20"
                             << "100.128.3.5" << int(N::SecondRouter);
    QTest::newRow("other public") << int(K::Address) << "100.128.9.9"
                                  << "100.128.3.5" << int(N::CarrierGrade);
    QTest::newRow("public, no agreed") << int(K::Address) << "100.128.9.9"
                                       << "" << -1;
}

void TestRouter::judge()
{
    QFETCH(int, kind);
    QFETCH(QString, wan);
    QFETCH(QString, agreed);
    QFETCH(int, nat);
    const std::optional<RouterCheck::Nat> judged =
        RouterCheck::judge({RouterAnswer::Kind(kind), QHostAddress(wan), QStringLiteral("UPnP")}, agreed);
    QCOMPARE(judged ? int(*judged) : -1, nat);
}

// What GetExternalIPAddress says: only a whole dotted quad is an address (QHostAddress alone reads "100.64" as
// 100.0.0.64, inet_aton's short form), an IPv6 address is none to compare, and anything else is a bad answer.
void TestRouter::soapAnswer_data()
{
    QTest::addColumn<QByteArray>("text"); // NewExternalIPAddress
    QTest::addColumn<QString>("told");
    QTest::newRow("dotted quad") << QByteArray(" 100.64.3.4\n") << "100.64.3.4";
    QTest::newRow("zeros") << QByteArray("0.10.0.0") << "0.10.0.0";
    QTest::newRow("empty") << QByteArray() << "withheld";
    QTest::newRow("0.0.0.0") << QByteArray("0.0.0.0") << "withheld";
    QTest::newRow("IPv6") << QByteArray("2001:db8::1") << "none";
    for (const char* bad : {"100.64", "1", "100.64.3", "100.64.3.4.5", "100.064.3.4", "0x64.1.2.3", "256.1.1.1",
                            "100.64.3.4x", "100..3.4", "1.2.3.4 5", "::ffff:1.2", "fe80::1%eth0", "100.64.3.-4"})
        QTest::newRow(bad) << QByteArray(bad) << "bad";
    QTest::newRow("no response") << QByteArray("</NewExternalIPAddress><x>") << "bad";
}

void TestRouter::soapAnswer()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, told);
    const QByteArray reply = "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                             "<s:Body><u:GetExternalIPAddressResponse xmlns:u=\"urn:schemas-upnp-org:service:"
                             "WANIPConnection:1\"><NewExternalIPAddress>" +
                             text + "</NewExternalIPAddress></u:GetExternalIPAddressResponse></s:Body></s:Envelope>";
    const RouterAnswer answer = IgdXml::externalAddress(reply);
    QCOMPARE(::told(answer), told);
    QCOMPARE(answer.method, told == u"none" ? QString() : QStringLiteral("UPnP"));
}

// What an answer on the PCP port says to a MAP request for TCP port 9 with the nonce 012edc70...: each row is
// miniupnpd 2.3.1's answer to that request, changed as the row says.
void TestRouter::pcpAnswer_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("verdict");
    const QByteArray map =
        QByteArray::fromHex("028100000000007800000002000000000000000000000000012edc70666a9e22646ed490"
                            "060000000009000900000000000000000000ffff64800305");
    const auto changed = [&map](int at, const char* bytes) {
        return QByteArray(map).replace(at, qstrlen(bytes), bytes);
    };
    QTest::newRow("miniupnpd's answer") << map << "100.128.3.5";
    QTest::newRow("with an option") << map + QByteArray::fromHex("0100000200010000") << "100.128.3.5";
    QTest::newRow("network failure") << changed(3, "\x07") << "withheld";
    QTest::newRow("no external address") << QByteArray(map).replace(56, 4, QByteArray(4, '\0')) << "withheld";
    QTest::newRow("an IPv6 address") << changed(44, "\x20") << "none";
    // miniupnpd's answer when its own address is a shared one; a NAT-PMP server's to any version but its own
    // (RFC 6886 section 3.5): ask by NAT-PMP.
    QTest::newRow("no resources") << changed(3, "\x08") << "NAT-PMP";
    QTest::newRow("NAT-PMP only") << QByteArray::fromHex("0081000100000e10") << "NAT-PMP";
    QTest::newRow("another nonce") << changed(24, "\x02") << "ignored";
    QTest::newRow("another port") << changed(40, "\x01") << "ignored";
    QTest::newRow("another protocol") << changed(36, "\x11") << "ignored";
    QTest::newRow("an ANNOUNCE answer") << map.left(24).replace(1, 1, "\x80") << "ignored";
    QTest::newRow("a request") << changed(1, "\x01") << "malformed";
    QTest::newRow("cut short") << map.left(56) << "malformed";
    QTest::newRow("not in words") << map + '\0' << "malformed";
    QTest::newRow("an option past the end") << map + QByteArray::fromHex("01000008") << "malformed";
    QTest::newRow("an option's padding past the end") << map + QByteArray::fromHex("0100000500000000") << "malformed";
    QTest::newRow("too long") << map + QByteArray(1044, '\0') << "malformed";
    QTest::newRow("empty") << QByteArray() << "malformed";
    QTest::newRow("NAT-PMP, cut short") << QByteArray::fromHex("008100") << "malformed";
}

void TestRouter::pcpAnswer()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, verdict);
    PcpMessage::MapRequest request;
    const QByteArray nonce = QByteArray::fromHex("012edc70666a9e22646ed490");
    std::copy(nonce.begin(), nonce.end(), request.nonce.begin());
    request.protocol = 6;
    request.internalPort = 9;
    QString error;
    const std::optional<PcpMessage::Reply> reply = PcpMessage::parseReply(datagram, &error);
    QCOMPARE(error.isEmpty(), bool(reply));
    const PcpMessage::Verdict judged = reply ? PcpMessage::judge(request, *reply) : PcpMessage::Verdict{};
    using Next = PcpMessage::Verdict::Next;
    QCOMPARE(!reply                           ? QStringLiteral("malformed")
             : judged.next == Next::Ignore    ? QStringLiteral("ignored")
             : judged.next == Next::AskNatPmp ? QStringLiteral("NAT-PMP")
                                              : told(judged.answer),
             verdict);
    QCOMPARE(judged.answer.method, judged.answer.kind == RouterAnswer::Kind::None ? QString() : QStringLiteral("PCP"));
}

// A router's epoch goes on with the client's clock, within a second or two and 1/16 of the time between (RFC 6887
// section 8.5); going back, or jumping far ahead, means it lost its mappings.
void TestRouter::pcpEpoch()
{
    QVERIFY(PcpMessage::epochContinues(100, 101, 1));
    QVERIFY(PcpMessage::epochContinues(100, 99, 0)); // answers crossing
    QVERIFY(PcpMessage::epochContinues(100, 100 + 3600 + 200, 3600));
    QVERIFY(!PcpMessage::epochContinues(100, 5, 10));
    QVERIFY(!PcpMessage::epochContinues(100, 100 + 7200, 3600));
    QVERIFY(!PcpMessage::epochContinues(100, 103, 3600));
    QVERIFY(!PcpMessage::epochContinues(0xffffffff, 0, 1));
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
    if (!m_namespaced)
        QSKIP("network namespaces cannot be made here (run as root, as CI does)");
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
    if (!m_namespaced)
        QSKIP("network namespaces cannot be made here (run as root, as CI does)");
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
    if (!m_namespaced)
        QSKIP("network namespaces cannot be made here (run as root, as CI does)");
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
