// The readers of outside bytes and of the source list: URIs, DNS replies, STUN messages, the public-address rule.
#include "discovery/AddressBody.h"
#include "discovery/DnsAnswer.h"
#include "discovery/PublicAddress.h"
#include "discovery/SourceUri.h"
#include "discovery/StunMessage.h"

#include <QTest>

class TestDiscoveryParsers : public QObject
{
    Q_OBJECT
private slots:
    void sourceUriIsCheckedWithAReason_data();
    void sourceUriIsCheckedWithAReason();
    void publicAddressRule_data();
    void publicAddressRule();
    void dnsReplyYieldsAddressOrReason_data();
    void dnsReplyYieldsAddressOrReason();
    void stunResponseYieldsAddressOrReason_data();
    void stunResponseYieldsAddressOrReason();
    void addressTextRule();
};

void TestDiscoveryParsers::sourceUriIsCheckedWithAReason_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("reason");  // empty: well formed
    for (const QString& uri : defaultAddressSources() + defaultAddress6Sources())
        QTest::newRow(qPrintable(uri)) << uri << "";
    QTest::newRow("dns v6 port ; and class") << "dns://[2001:db8::1]:5353/who.test?type=TXT;class=CH" << "";
    QTest::newRow("stun v6 port") << "stun:[2001:db8::2]:19302" << "";
    QTest::newRow("ftp") << "ftp://example.org/ip" << "Only http";
    QTest::newRow("http no host") << "http:///ip" << "no host";
    QTest::newRow("dns server name") << "dns://ns.example/myip.test" << "must be an IP address";
    QTest::newRow("dns no name") << "dns://192.0.2.1" << "needs a name";
    QTest::newRow("dns bad name") << "dns://192.0.2.1/my ip" << "not a DNS name";
    QTest::newRow("dns type MX") << "dns://192.0.2.1/a.test?type=MX" << "not A, AAAA or TXT";
    QTest::newRow("dns port 0") << "dns://192.0.2.1:0/a.test" << "1 to 65535";
    QTest::newRow("stun slashes") << "stun://stun.example.org" << "without \"//\"";
    QTest::newRow("stun open bracket") << "stun:[2001:db8::2" << "not closed";
}

void TestDiscoveryParsers::sourceUriIsCheckedWithAReason()
{
    QFETCH(QString, uri);
    QFETCH(QString, reason);
    QString error;
    QCOMPARE(checkSourceUri(uri, &error), reason.isEmpty());
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(makeAddressSource(uri, &error) != nullptr, reason.isEmpty());
}

void TestDiscoveryParsers::publicAddressRule_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("isPublic");
    for (const char* a : {"203.0.113.7", "192.0.2.1", "198.51.100.200", "8.8.8.8", "100.63.255.255", "2001:db8::1",
                          "2606:4700::1111", "::ffff:203.0.113.7"})
        QTest::newRow(a) << a << true;
    for (const char* a : {"10.1.2.3", "172.16.0.1", "192.168.1.1", "100.64.0.1", "127.0.0.1", "169.254.1.1",
                          "0.0.0.0", "224.0.0.1", "255.255.255.255", "::1", "::", "fe80::1", "fd00::1", "fec0::1",
                          "ff02::1", "::ffff:10.0.0.1"})
        QTest::newRow(a) << a << false;
}

void TestDiscoveryParsers::publicAddressRule()
{
    QFETCH(QString, address);
    QFETCH(bool, isPublic);
    QCOMPARE(isPublicAddress(QHostAddress(address)), isPublic);
}

void TestDiscoveryParsers::dnsReplyYieldsAddressOrReason_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("dnsClass");
    QTest::addColumn<QString>("expected");  // an address, or a part of the reason
    const QByteArray a = "123481800001000100000000046d79697004746573740000010001c00c000100010000003c0004cb007109";
    QTest::newRow("A") << a << "myip.test" << 1 << 1 << "203.0.113.9";
    QTest::newRow("AAAA") << QByteArray("123481800001000100000000046d796970047465737400001c0001c00c001c00010000003c00102"
                                        "0010db8000000000000000000000009")
                          << "myip.test" << 28 << 1 << "2001:db8::9";
    QTest::newRow("TXT") << QByteArray("123481800001000100000000046d79697004746573740000100001c00c00100001000000"
                                       "3c000c0b3230332e302e3131332e39")
                         << "myip.test" << 16 << 1 << "203.0.113.9";
    QTest::newRow("TXT CH") << QByteArray("1234818000010001000000000677686f616d6904746573740000100003c00c0010000300"
                                          "00003c000c0b3230332e302e3131332e39")
                            << "whoami.test" << 16 << 3 << "203.0.113.9";
    QTest::newRow("TXT asked, A given") << a << "myip.test" << 16 << 1 << "another question";
    QTest::newRow("other name") << QByteArray("123481800001000100000000056f7468657204746573740000010001c00c0001000100"
                                              "00003c0004cb007109")
                                << "myip.test" << 1 << 1 << "another question";
    QTest::newRow("truncated") << QByteArray(a).replace(4, 4, "8380") << "myip.test" << 1 << 1 << "truncated";
    QTest::newRow("cut short") << a.left(a.size() - 6) << "myip.test" << 1 << 1 << "malformed";
    QTest::newRow("short") << QByteArray("1234") << "myip.test" << 1 << 1 << "shorter than a DNS header";
    QTest::newRow("query not reply") << QByteArray(a).replace(4, 4, "0100") << "myip.test" << 1 << 1 << "QR bit";
    QTest::newRow("loop") << QByteArray(a).replace(54, 4, "c01b") << "myip.test" << 1 << 1 << "malformed";
    const QByteArray empty = "1234818X0001000000000000046d79697004746573740000010001";
    QTest::newRow("NXDOMAIN") << QByteArray(empty).replace('X', '3') << "myip.test" << 1 << 1 << "NXDOMAIN";
    QTest::newRow("SERVFAIL") << QByteArray(empty).replace('X', '2') << "myip.test" << 1 << 1 << "SERVFAIL";
    QTest::newRow("no answer") << QByteArray(empty).replace('X', '0') << "myip.test" << 1 << 1 << "no answer";
}

void TestDiscoveryParsers::dnsReplyYieldsAddressOrReason()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, dnsClass);
    QFETCH(QString, expected);
    QString reason;
    const auto address = addressFromDnsReply(QByteArray::fromHex(reply), {name.toLatin1(), type, dnsClass}, &reason);
    QCOMPARE(address ? address->toString() : reason.left(0), QHostAddress(expected).isNull() ? QString() : expected);
    QVERIFY2(address || reason.contains(expected), qPrintable(reason));
}

void TestDiscoveryParsers::stunResponseYieldsAddressOrReason_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");  // an address, or a part of the reason
    const QByteArray head = "0101000c2112a4420102030405060708090a0b0c";
    QTest::newRow("xor v4") << head + "002000080001bd52ea12d54b" << "203.0.113.9";
    QTest::newRow("xor v6") << QByteArray("010100182112a4420102030405060708090a0b0c002000140002bd520113a9fa01020304"
                                          "0506070809 0a0b05").replace(" ", "")
                            << "2001:db8::9";
    QTest::newRow("mapped only") << head + "0001000800019c40cb007109" << "203.0.113.9";
    QTest::newRow("wrong id") << QByteArray(head).replace(16, 24, "fefdfcfbfaf9f8f7f6f5f4f3") + "002000080001bd52ea12d54b"
                              << "wrong transaction ID";
    QTest::newRow("wrong cookie") << QByteArray(head).replace(8, 8, "deed5bbd") + "002000080001bd52ea12d54b"
                                  << "magic cookie";
    QTest::newRow("attribute too long") << head + "002000c80001bd52ea12d54b" << "runs past the end";
    QTest::newRow("length mismatch") << head + "002000080001bd52ea12d54b00000000" << "does not match";
    QTest::newRow("no address") << QByteArray("010100082112a4420102030405060708090a0b0c8022000470656572")
                                << "no address attribute";
    QTest::newRow("family 3") << head + "002000080003bd52ea12d54b" << "neither IPv4 nor IPv6";
    QTest::newRow("error 420") << QByteArray("0111000c2112a4420102030405060708090a0b0c0009000800000414") + "6e6f7065"
                               << "error response 420 nope";
    QTest::newRow("short") << QByteArray("0101000c2112a442") << "shorter than a STUN header";
}

void TestDiscoveryParsers::stunResponseYieldsAddressOrReason()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, expected);
    const StunMessage::TransactionId id{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    QCOMPARE(StunMessage::bindingRequest(id).toHex(), QByteArray("000100002112a4420102030405060708090a0b0c"));
    StunMessage message;
    QString reason;
    std::optional<QHostAddress> address;
    if (message.parse(QByteArray::fromHex(datagram), &reason))
        address = message.mappedAddressFor(id, &reason);
    QCOMPARE(address ? address->toString() : QString(), QHostAddress(expected).isNull() ? QString() : expected);
    QVERIFY2(address || reason.contains(expected), qPrintable(reason));
}

void TestDiscoveryParsers::addressTextRule()
{
    QVERIFY(defaultAddressSources().first().endsWith(QLatin1String("/extras/GetExternalIP.asp")));
    QCOMPARE(externalAddressFromBody(" 203.0.113.7\r\n"), QString("203.0.113.7"));
    QVERIFY(!externalAddressFromBody("Error: 203.0.113.7"));
    QVERIFY(!externalAddressFromBody(QByteArray(300, ' ') + "203.0.113.7"));
    QCOMPARE(hostAddressFromText("093.0.113.009"), QHostAddress("93.0.113.9"));
}

QTEST_GUILESS_MAIN(TestDiscoveryParsers)
#include "tst_discoveryparsers.moc"
