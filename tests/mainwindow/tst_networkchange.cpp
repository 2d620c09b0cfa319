// Network changes in a namespace of the test's own (`unshare -n`): netlink walk and dumps, one prompt lookup per burst.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "core/AddressWatcher.h"
#include "mainwindow/Form1.h"
#include "core/Settings.h"
#include "platform/LocalAddress.h"
#include "platform/NetworkChangeMonitor.h"
#include "platform/linux/NetlinkMessages.h"

#include <QNetworkInterface>
#include <QtTest>

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <limits>

static QByteArray message(quint16 type, const QByteArray& payload = QByteArray(), quint32 length = 0)
{
    const nlmsghdr header{length ? length : quint32(NLMSG_LENGTH(payload.size())), type, 0, 0, 0};
    return (QByteArray(reinterpret_cast<const char*>(&header), sizeof(header)) + payload)
        .leftJustified(NLMSG_ALIGN(sizeof(header) + payload.size()), '\0');
}

// A message with a fixed part and attributes, each padded as the kernel pads them.
static QByteArray withAttributes(quint16 type, const QByteArray& fixed,
                                 const QList<std::pair<quint16, QByteArray>>& attributes)
{
    QByteArray payload = fixed.leftJustified(NLMSG_ALIGN(fixed.size()), '\0');
    for (const auto& [kind, value] : attributes) {
        const rtattr attribute{quint16(RTA_LENGTH(value.size())), kind};
        payload += QByteArray(reinterpret_cast<const char*>(&attribute), sizeof(attribute)) + value;
        payload = payload.leftJustified(RTA_ALIGN(payload.size()), '\0');
    }
    return message(type, payload);
}

template <typename T> static QByteArray bytes(const T& value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof(value));
}

static void ip(const QString& arguments)
{
    QCOMPARE(QProcess::execute(QStringLiteral("ip"), arguments.split(QLatin1Char(' '))), 0);
}

class TestNetworkChange : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void netlinkWalk_data();
    void netlinkWalk();
    void netlinkDump();
    void addressChangeStartsOneLookup();
};

void TestNetworkChange::initTestCase()
{
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces())
        QVERIFY2(nic.flags().testFlag(QNetworkInterface::IsLoopBack), "run under unshare -n (see CMakeLists.txt)");
}

void TestNetworkChange::netlinkWalk_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("relevant");
    QTest::addColumn<bool>("malformed");
    const nlmsgerr overrun{-ENOBUFS, {}};
    const QByteArray enobufs(reinterpret_cast<const char*>(&overrun), sizeof(overrun));
    QTest::newRow("empty") << QByteArray() << 0 << false << false;
    QTest::newRow("new address") << message(RTM_NEWADDR, QByteArray(16, '\0')) << 1 << true << false;
    QTest::newRow("link, then route") << message(RTM_NEWLINK, "abcde") + message(RTM_DELROUTE) << 2 << true << false;
    for (const int type : {RTM_DELADDR, RTM_NEWROUTE})  // an address removed, a route added
        QTest::addRow("type %d", type) << message(type) << 1 << true << false;
    QTest::newRow("overrun") << message(NLMSG_ERROR, enobufs) << 1 << true << false;
    QTest::newRow("shorter than a header") << QByteArray("\x14\0\0", 3) << 0 << false << true;
    QTest::newRow("length below the header") << message(RTM_NEWADDR, QByteArray(), 8) << 0 << false << true;
    QTest::newRow("length past the end") << message(RTM_NEWADDR, QByteArray(8, '\0'), 4000) << 0 << false << true;
    QTest::newRow("good, then past the end")
        << message(RTM_NEWROUTE) + message(RTM_NEWADDR, QByteArray(), 0xffffffff) << 1 << true << true;
    QTest::newRow("trailing bytes") << message(RTM_NEWLINK) + QByteArray(5, '\x01') << 1 << false << true;
}

void TestNetworkChange::netlinkWalk()
{
    QFETCH(QByteArray, datagram);
    QFETCH(int, messages);
    QFETCH(bool, malformed);
    // An exact-size copy on the heap, so that a read past the end is a read past the allocation.
    std::vector<char> bytes(datagram.begin(), datagram.end());
    const NetlinkSummary summary = walkNetlinkMessages(bytes.data(), bytes.size());
    QCOMPARE(summary.messages, messages);
    QTEST(summary.addressOrRoute || summary.overrun, "relevant");
    QCOMPARE(summary.malformed, malformed);
}

void TestNetworkChange::netlinkDump()
{
    const QByteArray temporary = QByteArray::fromHex("20010db8000100000000000000000aaa");
    const ifaddrmsg address{AF_INET6, 64, 0, RT_SCOPE_UNIVERSE, 3};
    const ifa_cacheinfo cache{1800, 86400, 0, 0};
    const rtmsg route{AF_INET6, 0, 0, 0, RT_TABLE_MAIN, RTPROT_RA, RT_SCOPE_UNIVERSE, RTN_UNICAST, 0};
    const rtmsg prefixRoute{AF_INET6, 64, 0, 0, RT_TABLE_MAIN, RTPROT_RA, RT_SCOPE_UNIVERSE, RTN_UNICAST, 0};
    const QByteArray first = withAttributes(
        RTM_NEWADDR, bytes(address),
        {{IFA_ADDRESS, temporary}, {IFA_CACHEINFO, bytes(cache)}, {IFA_FLAGS, bytes(quint32(IFA_F_TEMPORARY))}});
    const QByteArray datagram = first +
                                withAttributes(RTM_NEWROUTE, bytes(route),
                                               {{RTA_OIF, bytes(quint32(3))}, {RTA_PRIORITY, bytes(quint32(1024))}}) +
                                withAttributes(RTM_NEWROUTE, bytes(prefixRoute), {{RTA_OIF, bytes(quint32(3))}}) +
                                message(NLMSG_DONE, bytes(0));
    NetlinkDump dump;
    readNetlinkDump(datagram.constData(), std::size_t(datagram.size()), &dump);
    QVERIFY(dump.done && !dump.malformed && dump.error == 0);
    QCOMPARE(dump.addresses.size(), 1u);
    const NetlinkAddress6& read = dump.addresses[0];
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(read.address.data()), 16), temporary);
    QVERIFY(read.interfaceIndex == 3 && read.prefixLength == 64 && read.flags == IFA_F_TEMPORARY);
    QCOMPARE(read.preferredSeconds, 1800u);
    QCOMPARE(dump.routes.size(), 2u);
    QVERIFY(dump.routes[0].interfaceIndex == 3 && dump.routes[0].priority == 1024);
    QVERIFY(dump.routes[0].destinationLength == 0 && dump.routes[1].destinationLength == 64);

    // Every cut: nothing read beyond it (AddressSanitizer watches the exact-size copy), never an address that
    // was not whole.
    for (qsizetype size = 0; size < datagram.size(); ++size) {
        const QByteArray cut = datagram.left(size);
        NetlinkDump part;
        readNetlinkDump(cut.constData(), std::size_t(cut.size()), &part);
        QVERIFY(!part.done);
        QVERIFY(part.addresses.empty() || size >= first.size());
    }
    // An attribute longer than its message, a message longer than the datagram.
    QByteArray damaged = datagram;
    damaged[NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ifaddrmsg))] = char(0xf0);
    NetlinkDump bad;
    readNetlinkDump(damaged.constData(), std::size_t(damaged.size()), &bad);
    QVERIFY(bad.malformed && bad.addresses.empty());
    damaged = datagram;
    damaged[0] = char(0xff);
    QVERIFY(walkNetlinkMessages(damaged.constData(), std::size_t(damaged.size())).malformed);
    QCOMPARE(walkNetlinkMessages(datagram.constData(), std::size_t(datagram.size())).messages, 4);
    // An error that is no errno ends the dump as damaged (its negation would overflow).
    const QByteArray noErrno = message(NLMSG_ERROR, bytes(std::numeric_limits<int>::min()));
    NetlinkDump ended;
    readNetlinkDump(noErrno.constData(), std::size_t(noErrno.size()), &ended);
    QVERIFY(ended.done && ended.malformed && ended.error == 0);
}

void TestNetworkChange::addressChangeStartsOneLookup()
{
    NginxPeer nginx;
    QVERIFY2(nginx.start(), qPrintable(nginx.error()));
    nginx.setBody(QStringLiteral("ip"), "203.0.113.1\n");
    qputenv("VISTREL_ADDRESS_SOURCES", nginx.url(QStringLiteral("/body/ip")).toEncoded());
    ip(QStringLiteral("link add v0 type veth peer name v1"));
    for (const char* nic : {"v0", "v1"}) {
        // No IPv6 link-local address: its duplicate detection would end seconds later, a change of its own.
        ip(QStringLiteral("link set %1 addrgenmode none").arg(QLatin1String(nic)));
        ip(QStringLiteral("link set %1 up").arg(QLatin1String(nic)));
    }

    TempConfigHome home;
    home.writeSettingsFile("[Settings]\nshowHelp=0\n"); // auto refresh off
    Settings settings(home.settingsPath());
    AddressWatcher watcher(settings);
    Form1 form(watcher, settings);
    NetworkChangeMonitor monitor;
    QString error;
    QVERIFY2(monitor.start(&error), qPrintable(error));
    connect(&monitor, &NetworkChangeMonitor::changed, &form, &Form1::networkChanged);
    QSignalSpy started(&form, &Form1::lookupStarted);
    QSignalSpy finished(&form, &Form1::lookupFinished);
    form.Form_Load();
    QVERIFY(finished.wait(10000));
    QTest::qWait(600); // the veth pair's own events settle first (one lookup more, or none)
    QVERIFY(!form.isLookupRunning() || finished.wait(10000));
    started.clear();
    QElapsedTimer clock;
    clock.start();
    ip(QStringLiteral("addr add 192.0.2.5/24 dev v0"));
    QVERIFY(started.wait(2000));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(finished.wait(10000));
    QCOMPARE(form.internalAddress(), QStringLiteral("192.0.2.5")); // no default route: the first interface's
    started.clear();
    QCOMPARE(QProcess::execute("sh", {"-c", "printf 'addr add 198.51.100.5/24 dev v0\\naddr add 203.0.113.5/24 dev v0\\n"
                                            "route add default via 198.51.100.1 dev v0\\n' | ip -batch -"}), 0);
    QTest::qWait(1500);
    QCOMPARE(started.size(), 1);
    QCOMPARE(form.internalAddress(), QStringLiteral("198.51.100.5")); // the default route's, not the first address

    QVERIFY(!hasIPv6Route());
    ip(QStringLiteral("-6 addr add 2001:db8::7/64 dev v0 nodad"));
    QVERIFY(!hasIPv6Route()); // a link prefix is no way to the internet
    ip(QStringLiteral("-6 route add default via 2001:db8::1 dev v0"));
    QVERIFY(hasIPv6Route());
    ip(QStringLiteral("link del v0"));
}

QTEST_MAIN(TestNetworkChange)
#include "tst_networkchange.moc"
