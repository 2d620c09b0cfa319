// Readers of outside bytes; sources and the lookup against dnsmasq, coturn, nginx and UDP peers that answer wrongly.
#include "NginxPeer.h"
#include "PeerProcess.h"
#include "discovery/AddressBody.h"
#include "discovery/AddressLookup.h"
#include "discovery/DnsAnswer.h"
#include "discovery/PublicAddress.h"
#include "discovery/RetryAfter.h"
#include "discovery/SourceUri.h"
#include "discovery/StunMessage.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Outcome = LookupResult::Outcome;

class TestDiscovery : public QObject
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
    void retryAfterIsAWaitOrNothing_data();
    void retryAfterIsAWaitOrNothing();
    void initTestCase();
    void udpSourceAnswersOrFails_data();
    void udpSourceAnswersOrFails();
    void stunRequestIsSentAgainWithoutAnswer();
    void httpSourceAnswersOrFails_data();
    void httpSourceAnswersOrFails();
    void httpsWithUntrustedCertificateFails();
    void lookupDecidesByAgreement_data();
    void lookupDecidesByAgreement();
    void lookupAsksOnlyWhatItNeeds_data();
    void lookupAsksOnlyWhatItNeeds();
    void troubledServerRestsItsTime_data();
    void troubledServerRestsItsTime();
    void noAnswerAtAllBenchesNobody();

private:
    /// Asks the source once; "answer", or "failed: reason" ("failed (replied): reason" when the server sent anything
    /// back). Checks the one-signal contract on the way.
    QString ask(const QString& uri, int timeoutMs = 1500);
    /// @p sources with the peers' names replaced: "DNS/" and the like stand for dns://127.0.0.1:PORT/, ":STUN" for
    /// coturn's port, "N3/" for http://127.0.0.3:PORT/body/ on nginx (each address a server of its own).
    QStringList located(QStringList sources, const QString& tag = {});
    /// The requests nginx logged whose URI ends with @p tag.
    qsizetype requests(const QString& tag) const { return m_nginx.accessLog().filter(tag + "\t").size(); }

    std::map<QString, PeerProcess> m_peers;  // DNS: dnsmasq, STUN: coturn, the others DNS fault peers
    NginxPeer m_nginx;
};

void TestDiscovery::sourceUriIsCheckedWithAReason_data()
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
    for (const char* port : {"0", "65536"})
        QTest::addRow("dns port %s", port) << QString("dns://192.0.2.1:%1/a.test").arg(port) << "1 to 65535";
    QTest::newRow("stun slashes") << "stun://stun.example.org" << "without \"//\"";
    QTest::newRow("stun open bracket") << "stun:[2001:db8::2" << "not closed";
}

void TestDiscovery::sourceUriIsCheckedWithAReason()
{
    QFETCH(QString, uri);
    QFETCH(QString, reason);
    QString error;
    QCOMPARE(checkSourceUri(uri, &error), reason.isEmpty());
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(makeAddressSource(uri, &error) != nullptr, reason.isEmpty());
}

void TestDiscovery::publicAddressRule_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("isPublic");
    // Each special-purpose range of the IANA registries (RFC 6890 and updates): its edges, and just outside.
    for (const char* a : {"192.0.2.1", "198.51.100.200", "203.0.113.7", "2001:db8::1", "3fff:fff::1", "8.8.8.8",
                          "9.255.255.255", "11.0.0.0", "100.63.255.255", "100.128.0.0", "126.255.255.255", "128.0.0.0",
                          "169.253.255.255", "172.15.255.255", "172.32.0.0", "191.255.255.255", "192.0.1.255",
                          "192.31.195.255", "192.52.194.0", "192.88.98.255", "192.167.255.255", "192.175.49.0",
                          "198.17.255.255", "198.20.0.0", "223.255.255.255", "::ffff:203.0.113.7", "::1:0:0:0",
                          "ff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "100:0:0:2::", "2001:200::", "2620:4f:7fff:ffff::",
                          "5eff::", "5f01::", "fbff::", "64:ff9b::203.0.113.7", "64:ff9b:1::cb00:7107",
                          "64:ff9a::a00:1", "2002:cb00:7107::1", "2003:a00:1::1", "2606:4700::1111"})
        QTest::newRow(a) << a << true;
    for (const char* a :
         {"0.255.255.255", "10.1.2.3", "100.64.0.1", "100.127.255.255", "127.0.0.1", "169.254.1.1", "172.16.0.1",
          "172.31.255.255", "192.0.0.0", "192.0.0.255", "192.31.196.1", "192.52.193.1", "192.88.99.1", "192.168.1.1",
          "192.175.48.1", "198.18.0.0", "198.19.255.255", "224.0.0.1", "255.255.255.255", "::", "::1", "::a00:1",
          "::ffff:10.0.0.1", "100::", "100::ffff:ffff:ffff:ffff", "100:0:0:1::1", "2001::1", "2001:1ff::1",
          "2620:4f:8000::1", "5f00::1", "fc00::1", "fdff::1", "fe80::1", "fec0::1", "ff02::1", "64:ff9b::10.0.0.1",
          "64:ff9b::c000:aa", "64:ff9b:1:ffff::a00:1", "2002:a00:1::1", "2002:c612:1::1", "2002:7f00:1::"})
        QTest::newRow(a) << a << false;
}

void TestDiscovery::publicAddressRule()
{
    QFETCH(QString, address);
    QTEST(isPublicAddress(QHostAddress(address)), "isPublic");
}

/// A reply in hex to query 0x1234 for NAME with FLAGS and one answer of RDATA (hex), none when RDATA is empty.
static QByteArray dnsReply(const QByteArray& name, int type, int cls, QByteArray rdata, QByteArray flags = "8180")
{
    const auto hex = [](qsizetype v, int digits = 4) { return QByteArray::number(v, 16).rightJustified(digits, '0'); };
    QByteArray reply = "1234" + flags + "0001" + hex(rdata.isEmpty() ? 0 : 1) + "00000000";
    for (const QByteArray& label : name.split('.'))
        reply += hex(label.size(), 2) + label.toHex();
    reply += "00" + hex(type) + hex(cls);
    return rdata.isEmpty() ? reply : reply + "c00c" + hex(type) + hex(cls) + "0000003c" + hex(rdata.size() / 2) + rdata;
}

void TestDiscovery::dnsReplyYieldsAddressOrReason_data()
{
    QTest::addColumn<QByteArray>("reply");  // to a question for myip.test
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("dnsClass");
    QTest::addColumn<QString>("expected");  // an address, or a part of the reason
    const QByteArray a = dnsReply("myip.test", 1, 1, "cb007109"), txt = "0b" + QByteArray("203.0.113.9").toHex();
    QTest::newRow("A") << a << 1 << 1 << "203.0.113.9";
    QTest::newRow("AAAA") << dnsReply("myip.test", 28, 1, "20010db8" + QByteArray(22, '0') + "09") << 28 << 1
                          << "2001:db8::9";
    QTest::newRow("TXT CH") << dnsReply("myip.test", 16, 3, txt) << 16 << 3 << "203.0.113.9";
    QTest::newRow("TXT asked, A given") << a << 16 << 1 << "another question";
    QTest::newRow("other name") << dnsReply("other.test", 1, 1, "cb007109") << 1 << 1 << "another question";
    QTest::newRow("name in capitals") << dnsReply("MYIP.Test", 1, 1, "cb007109") << 1 << 1 << "203.0.113.9";
    QTest::newRow("truncated") << QByteArray(a).replace(4, 4, "8380") << 1 << 1 << "truncated";
    QTest::newRow("cut short") << a.left(a.size() - 6) << 1 << 1 << "malformed";
    QTest::newRow("short") << QByteArray("1234") << 1 << 1 << "shorter than a DNS header";
    QTest::newRow("query not reply") << QByteArray(a).replace(4, 4, "0100") << 1 << 1 << "QR bit";
    QTest::newRow("loop") << QByteArray(a).replace(54, 4, "c01b") << 1 << 1 << "malformed";
    for (const auto& [flags, reason] : {std::pair("8183", "NXDOMAIN"), {"8182", "SERVFAIL"}, {"8180", "no answer"}})
        QTest::newRow(reason) << dnsReply("myip.test", 1, 1, "", flags) << 1 << 1 << reason;
}

void TestDiscovery::dnsReplyYieldsAddressOrReason()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, type);
    QFETCH(int, dnsClass);
    QFETCH(QString, expected);
    QString reason;
    const auto address = addressFromDnsReply(QByteArray::fromHex(reply), {"myip.test", type, dnsClass}, &reason);
    QCOMPARE(address ? address->toString() : reason.left(0), QHostAddress(expected).isNull() ? QString() : expected);
    QVERIFY2(address || reason.contains(expected), qPrintable(reason));
}

void TestDiscovery::stunResponseYieldsAddressOrReason_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");  // an address, or a part of the reason
    const QByteArray head = "0101000c2112a4420102030405060708090a0b0c", xor4 = "002000080001bd52ea12d54b";
    QTest::newRow("xor v4") << head + xor4 << "203.0.113.9";
    QTest::newRow("xor v6") << QByteArray("010100182112a442" "0102030405060708090a0b0c002000140002bd520113a9fa"
                                          "0102030405060708090a0b05") << "2001:db8::9";
    QTest::newRow("mapped only") << head + "0001000800019c40cb007109" << "203.0.113.9";
    QTest::newRow("mapped rewritten, xor kept")
        << QByteArray(head).replace(4, 4, "0018") + "0001000800019c40c6336401" + xor4 << "203.0.113.9";
    QTest::newRow("wrong id") << QByteArray(head).replace(16, 24, QByteArray("fefdfcfbfaf9f8f7f6f5f4f3")) + xor4
                              << "wrong transaction ID";
    QTest::newRow("wrong cookie") << QByteArray(head).replace(8, 8, "deed5bbd") + xor4 << "magic cookie";
    QTest::newRow("attribute too long") << head + "002000c80001bd52ea12d54b" << "runs past the end";
    QTest::newRow("length mismatch") << head + xor4 + "00000000" << "does not match";
    QTest::newRow("no address") << QByteArray("010100082112a4420102030405060708090a0b0c8022000470656572")
                                << "no address attribute";
    QTest::newRow("family 3") << head + "002000080003bd52ea12d54b" << "neither IPv4 nor IPv6";
    QTest::newRow("error 420") << QByteArray("0111000c2112a4420102030405060708090a0b0c00090008000004146e6f7065")
                               << "error response 420 nope";
    QTest::newRow("short") << QByteArray("0101000c2112a442") << "shorter than a STUN header";
}

void TestDiscovery::stunResponseYieldsAddressOrReason()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, expected);
    const StunMessage::TransactionId id{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    QCOMPARE(StunMessage::bindingRequest(id).toHex(), QByteArray("000100002112a4420102030405060708090a0b0c"));
    StunMessage message;
    QString reason;
    const auto address = message.parse(QByteArray::fromHex(datagram), &reason) ? message.mappedAddressFor(id, &reason)
                                                                                : std::nullopt;
    QCOMPARE(address ? address->toString() : QString(), QHostAddress(expected).isNull() ? QString() : expected);
    QVERIFY2(address || reason.contains(expected), qPrintable(reason));
}

void TestDiscovery::addressTextRule()
{
    QVERIFY(defaultAddressSources().first().endsWith(QLatin1String("/extras/GetExternalIP.asp")));
    QCOMPARE(externalAddressFromBody(" 203.0.113.7\r\n"), QString("203.0.113.7"));
    QVERIFY(!externalAddressFromBody("Error: 203.0.113.7"));
    QVERIFY(!externalAddressFromBody(QByteArray(300, ' ') + "203.0.113.7"));
    QCOMPARE(externalAddressFromBody("2001:db8::42\n"), QString("2001:db8::42"));
    for (const QByteArray& body : {QByteArray("256.1.1.1"), QByteArray("0x7f.0.0.1"), QByteArray("1.2.3.4\n5.6.7.8"),
                                   QByteArray(":::::"), QByteArray("1.2.3.4\0", 8)})
        QVERIFY2(!externalAddressFromBody(body), body.constData());
    QCOMPARE(hostAddressFromText("093.0.113.009"), QHostAddress("93.0.113.9"));
}

void TestDiscovery::retryAfterIsAWaitOrNothing_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("seconds");  // -1: nothing
    // The three date forms of RFC 9110 section 5.6.7, against 2026-10-21 07:27:00 UTC.
    QTest::newRow("delta") << QByteArray(" 120 ") << 120;
    QTest::newRow("IMF-fixdate") << QByteArray("Wed, 21 Oct 2026 07:28:00 GMT") << 60;
    QTest::newRow("RFC 850") << QByteArray("Wednesday, 21-Oct-26 07:29:00 GMT") << 120;
    QTest::newRow("asctime") << QByteArray("Wed Oct 21 07:30:00 2026") << 180;
    QTest::newRow("past date") << QByteArray("Wed, 21 Oct 2026 07:00:00 GMT") << 0;
    QTest::newRow("beyond a day") << QByteArray("99999999999999999999") << 86400;
    for (const char* bad : {"", "-5", "1.5", "soon", "Wed, 21 Oct 2026 07:28:00 CET"})
        QTest::newRow(bad) << QByteArray(bad) << -1;
}

void TestDiscovery::retryAfterIsAWaitOrNothing()
{
    QFETCH(QByteArray, value);
    const auto seconds = retryAfterSeconds(value, QDateTime(QDate(2026, 10, 21), QTime(7, 27), Qt::UTC));
    QTEST(seconds ? int(*seconds) : -1, "seconds");
}

void TestDiscovery::initTestCase()
{
    QString error;
    QVERIFY2(m_peers["DNS"].start("udp_peers.py", {"dnsmasq", "--address=/myip.test/203.0.113.7",
                                                  "--address=/myip.test/2001:db8::7", "--address=/lan.test/10.0.0.1",
                                                  "--txt-record=txt.test,v=spf1 -all,203.0.113.7"}, &error),
             qPrintable(error));
    QVERIFY2(m_peers["STUN"].start("udp_peers.py", {"coturn"}, &error), qPrintable(error));
    for (const auto& [name, fault] : {std::pair("LATE", "delay:3"), {"OTHER", "none"}, {"SILENT", "silent"}})
        QVERIFY2(m_peers[name].start("udp_fault_peer.py", {"--protocol", "dns", "--fault", fault}, &error),
                 qPrintable(error));
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
    m_nginx.setBody("ip", "203.0.113.7");
}

QString TestDiscovery::ask(const QString& uri, int timeoutMs)
{
    QString error;
    auto source = makeAddressSource(uri, &error);
    if (!source)
        return "malformed: " + error;
    QSignalSpy answered(source.get(), &AddressSource::answered);
    QSignalSpy failed(source.get(), &AddressSource::failed);
    source->start(timeoutMs);
    if (!answered.isEmpty() || !failed.isEmpty())
        return "signal from inside start()";
    if (!QTest::qWaitFor([&] { return !answered.isEmpty() || !failed.isEmpty(); }, timeoutMs + 2000))
        return "no signal at all";
    QTest::qWait(50);
    if (answered.size() + failed.size() != 1)
        return "more than one signal";
    const QString failure = source->hasReplied() ? "failed (replied): " : "failed: ";
    return answered.isEmpty() ? failure + failed.first().first().toString()
                              : answered.first().first().value<QHostAddress>().toString();
}

void TestDiscovery::udpSourceAnswersOrFails_data()
{
    QTest::addColumn<QString>("fault");  // empty: dnsmasq or coturn; else the fault peer's
    QTest::addColumn<QString>("query");  // after dns://127.0.0.1:PORT/, or "stun"
    QTest::addColumn<QString>("expected");  // a regular expression
    QTest::newRow("A") << "" << "myip.test" << "^203\\.0\\.113\\.7$";
    QTest::newRow("AAAA") << "" << "myip.test?type=AAAA" << "^2001:db8::7$";
    QTest::newRow("TXT, second string") << "" << "txt.test?type=TXT" << "^203\\.0\\.113\\.7$";
    QTest::newRow("CH TXT not an address") << "" << "version.bind?type=TXT;class=CH" << "first: \"dnsmasq-";
    QTest::newRow("REFUSED") << "" << "txt.test?type=AAAA" << "failed \\(replied\\): query refused";
    QTest::newRow("CH TXT") << "none" << "whoami.test?type=TXT&class=CH" << "^203\\.0\\.113\\.9$";
    QTest::newRow("wrong id") << "wrong-id" << "myip.test" << "failed: .*(imeout|no answer within)";
    QTest::newRow("truncated") << "truncated" << "myip.test" << "failed \\(replied\\): truncated";
    // coturn sees the test on loopback: the source reports that address, the lookup refuses it later.
    QTest::newRow("coturn") << "" << "stun" << "^127\\.0\\.0\\.1$";
    QTest::newRow("STUN no address") << "no-address" << "stun" << "^failed \\(replied\\): no address attribute";
    QTest::newRow("STUN wrong id") << "wrong-id" << "stun" << "^failed \\(replied\\): no answer within.*wrong transaction ID";
}

void TestDiscovery::udpSourceAnswersOrFails()
{
    QFETCH(QString, fault);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    const bool stun = query == "stun";
    PeerProcess faultPeer;
    if (!fault.isEmpty())
        QVERIFY2(faultPeer.start("udp_fault_peer.py", {"--protocol", stun ? "stun" : "dns", "--fault", fault}),
                 qPrintable(faultPeer.error()));
    const quint16 port = !fault.isEmpty() ? faultPeer.port() : m_peers[stun ? "STUN" : "DNS"].port();
    const QString answer = ask(stun ? QString("stun:127.0.0.1:%1").arg(port)
                                    : QString("dns://127.0.0.1:%1/%2").arg(port).arg(query));
    QVERIFY2(QRegularExpression(expected).match(answer).hasMatch(), qPrintable(answer));
}

void TestDiscovery::stunRequestIsSentAgainWithoutAnswer()
{
    PeerProcess& silent = m_peers["SILENT"];
    silent.readLines();
    QVERIFY(ask(QString("stun:127.0.0.1:%1").arg(silent.port()), 1800).startsWith("failed: no answer within 1800 ms"));
    QStringList sent;  // at 0, 0.5 and 1.5 s
    QTRY_COMPARE_WITH_TIMEOUT((sent += silent.readLines().filter("QUERY 20")).size(), 3, 3000);
}

void TestDiscovery::httpSourceAnswersOrFails_data()
{
    QTest::addColumn<QString>("body");  // "-": no such file
    QTest::addColumn<QString>("expected");
    QTest::newRow("address") << "203.0.113.7\n" << "^203\\.0\\.113\\.7$";
    QTest::newRow("html") << "<html><body>Sign in</body></html>" << "failed \\(replied\\): body is not one address";
    QTest::newRow("10MiB") << QString(10 << 20, QChar('7')) << "failed \\(replied\\): body longer than 256 bytes";
    QTest::newRow("binary") << QString::fromLatin1("\x01\xff\x00\x80", 4) << "address: \"\ufffd\ufffd\"$";
    QTest::newRow("empty") << "" << "failed \\(replied\\): body is not one address";
    QTest::newRow("404") << "-" << "failed \\(replied\\): HTTP status 404";
}

void TestDiscovery::httpSourceAnswersOrFails()
{
    QFETCH(QString, body);
    QFETCH(QString, expected);
    const QString name = QTest::currentDataTag();
    if (body != "-")
        m_nginx.setBody(name, body.toLatin1());
    const QString answer = ask(m_nginx.url("/body/" + name).toString());
    QVERIFY2(QRegularExpression(expected).match(answer).hasMatch(), qPrintable(answer));
    QTRY_VERIFY(!m_nginx.accessLog().filter("/body/" + name + "\t").isEmpty());  // nginx logs after it answered
    const QString request = m_nginx.accessLog().filter("/body/" + name + "\t").constFirst();
    QVERIFY2(request.endsWith("\tMozilla\tno-cache\tno-cache"), qPrintable(request));
}

void TestDiscovery::httpsWithUntrustedCertificateFails()
{
    // openssl s_server, gone after one connection, would answer an address to a client that skipped the check.
    QTemporaryDir dir;
    QFile ip(dir.filePath("ip"));
    QVERIFY(ip.open(QIODevice::WriteOnly) && ip.write("HTTP/1.0 200 ok\r\n\r\n203.0.113.7\n") > 0);
    ip.close();
    QVERIFY(runOpenssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                        "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", dir.filePath("k.pem"),
                        "-out", dir.filePath("c.pem"), "-days", "1"}));
    const quint16 port = unusedLocalPort();
    PeerProcess server;
    QVERIFY2(server.start("openssl_peer.py", {"--cwd", dir.path(), "--serve", "s_server", "-naccept", "1", "-HTTP",
                                              "-accept", QString("127.0.0.1:%1").arg(port), "-cert", "c.pem", "-key",
                                              "k.pem"}) &&
                 server.readyField("STATUS") == "0",
             qPrintable(server.error()));
    // The refusal comes at the end of the handshake, which an emulated TLS stack on a busy machine takes seconds for.
    const QString answer = ask(QString("https://127.0.0.1:%1/ip").arg(port), 10000);
    QVERIFY2(answer.startsWith("failed: ") && answer.contains("certificate"), qPrintable(answer));
}

void TestDiscovery::lookupDecidesByAgreement_data()
{
    QTest::addColumn<QStringList>("sources");  // a peer's name stands for dns://127.0.0.1:PORT
    QTest::addColumn<int>("totalTimeoutMs");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("reasons");  // per source, a part of its failure reason
    using L = QStringList;
    const int agreed = int(Outcome::Agreed), failed = int(Outcome::Failed);
    const QString a = "203.0.113.7";
    QTest::newRow("quorum early, late one not waited for") << L{"DNS/myip.test", "N1/ip", "LATE/myip.test"} << 8000
                                                           << agreed << a << L{"", "", "not needed"};
    QTest::newRow("one server asked twice: one voice") << L{"DNS/myip.test", "DNS/txt.test?type=TXT"} << 8000
                                                       << failed << "" << L{"", "its server was asked through"};
    QTest::newRow("disagreement") << L{"DNS/myip.test", "OTHER/myip.test"} << 8000 << int(Outcome::Disagreed) << ""
                                  << L{"", ""};
    QTest::newRow("non-public not counted")
        << L{"DNS/myip.test", "DNS/lan.test", "stun:127.0.0.1:STUN"} << 8000 << failed << ""
        << L{"", "not a public address: 10.0.0.1", "not a public address: 127.0.0.1"};
    QTest::newRow("one source, quorum 1") << L{"DNS/myip.test"} << 8000 << agreed << a << L{""};
    QTest::newRow("total timeout") << L{"SILENT/myip.test", "LATE/myip.test"} << 1000 << failed << ""
                                   << L{"lookup's 1000 ms", "lookup's 1000 ms"};
    QTest::newRow("malformed skipped") << L{"dns://ns.test/myip.test", "DNS/myip.test"} << 8000 << agreed << a
                                       << L{"malformed source: The DNS server", ""};
    QTest::newRow("nothing usable") << L{"gopher://x"} << 8000 << int(Outcome::NoSources) << "" << L{"malformed"};
}

void TestDiscovery::lookupDecidesByAgreement()
{
    QFETCH(QStringList, sources);
    QFETCH(int, totalTimeoutMs);
    QFETCH(QStringList, reasons);
    sources = located(sources);
    AddressLookup lookup;
    QSignalSpy finished(&lookup, &AddressLookup::finished);
    QElapsedTimer clock;
    clock.start();
    const AddressLookup::Config config{sources, 2, 5000, totalTimeoutMs, QAbstractSocket::AnyIPProtocol, -1, 1};
    lookup.start(config);
    lookup.start(config);  // a restart gives one result
    QVERIFY(lookup.isRunning() && finished.isEmpty());
    QVERIFY(finished.wait(totalTimeoutMs + 1000));
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    const auto result = finished.first().first().value<LookupResult>();
    QTEST(int(result.outcome), "outcome");
    QTEST(result.address, "address");
    QCOMPARE(result.outcomes.size(), reasons.size());
    for (const SourceOutcome& o : result.outcomes) {  // which of one server's sources is asked is chosen at random
        const auto reason = std::find_if(reasons.begin(), reasons.end(), [&](const QString& r) {
            return r.isEmpty() ? o.ok : !o.ok && o.reason.contains(r);
        });
        QVERIFY2(reason != reasons.end(), qPrintable(o.reason));
        reasons.erase(reason);
    }
    QTest::qWait(100);
    QCOMPARE(finished.size(), 1);
    QVERIFY(!lookup.isRunning());
}

QStringList TestDiscovery::located(QStringList sources, const QString& tag)
{
    for (QString& source : sources) {
        for (auto& [name, peer] : m_peers)
            source.replace(QRegularExpression("^" + name + "/"), QString("dns://127.0.0.1:%1/").arg(peer.port()))
                .replace(":" + name, ":" + QString::number(peer.port()));
        source.replace(QRegularExpression("^N(\\d)/(.*)$"),  // a body of nginx's
                       QString("http://127.0.0.\\1:%1/body/\\2?%2").arg(m_nginx.port()).arg(tag));
    }
    return sources;
}

void TestDiscovery::lookupAsksOnlyWhatItNeeds_data()
{
    // As for located(); "!" before those that fail, disagree or are late, "*" before those always asked.
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<int>("outcome");
    using L = QStringList;
    const int agreed = int(Outcome::Agreed);
    QTest::newRow("healthy") << L{"N2/ip", "N3/ip", "N4/ip", "N5/ip", "N6/ip", "N7/ip"} << agreed;
    QTest::newRow("one failing") << L{"N2/ip", "N3/ip", "N4/ip", "!N5/missing"} << agreed;
    QTest::newRow("one slow") << L{"N2/ip", "N3/ip", "N4/ip", "!LATE/myip.test"} << agreed;
    QTest::newRow("two disagreeing") << L{"N2/ip", "N3/ip", "N4/ip", "!N5/other", "!OTHER/myip.test"} << agreed;
    QTest::newRow("spread over kinds") << L{"N2/ip", "N3/ip", "N4/ip", "*DNS/myip.test"} << agreed;
    QTest::newRow("spread over operators") << L{"N1/ip", "DNS/myip.test", "*N2/ip"} << agreed;
    QTest::newRow("all disagree") << L{"!N2/ip", "!N3/other", "!OTHER/myip.test"} << int(Outcome::Disagreed);
}

void TestDiscovery::lookupAsksOnlyWhatItNeeds()
{
    QFETCH(QStringList, sources);
    QFETCH(int, outcome);
    m_nginx.setBody("other", "198.51.100.1");
    qsizetype faultyAsked = 0;
    for (quint32 seed = 1; seed <= 4; ++seed) {
        const QString tag = QString("%1-%2").arg(QTest::currentDataTag()).arg(seed).replace(' ', '_');
        const QStringList uris = located(QStringList(sources).replaceInStrings(QRegularExpression("^[!*]"), ""), tag);
        AddressLookup lookup;
        QSignalSpy finished(&lookup, &AddressLookup::finished);
        QElapsedTimer clock;
        clock.start();
        lookup.start({uris, 2, 5000, 8000, QAbstractSocket::AnyIPProtocol, -1, seed});
        QVERIFY(finished.wait(9000));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));  // the late one, 3 s
        const auto result = finished.first().first().value<LookupResult>();
        QCOMPARE(int(result.outcome), outcome);
        qsizetype asked = 0, faulty = 0, http = 0;
        for (int i = 0; i < sources.size(); ++i) {
            const bool wasAsked = result.outcomes[i].asked;
            asked += wasAsked;
            faulty += wasAsked && sources[i].startsWith('!');
            http += wasAsked && uris[i].startsWith("http");
            QVERIFY(wasAsked || !sources[i].startsWith('*'));
        }
        // Quorum-many, and one more for each that failed, disagreed or was late; all when they cannot agree.
        QCOMPARE(asked, outcome == int(Outcome::Agreed) ? 2 + faulty : sources.size());
        QTRY_COMPARE(requests(tag), http);
        faultyAsked += faulty;
    }
    QVERIFY(faultyAsked > 0 || !sources.join("").contains('!'));
}

void TestDiscovery::troubledServerRestsItsTime_data()
{
    QTest::addColumn<QString>("fault");  // a path on 127.0.0.2
    QTest::addColumn<int>("lookups");   // that bench it
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("pause");
    QTest::addColumn<QString>("log");
    QTest::newRow("429 with Retry-After") << "refuse/?after=2" << 1 << true << "it refused, paused for 2 s"
                                          << "refused with HTTP status 429 and asked to wait";
    QTest::newRow("403") << "forbid/" << 1 << true << "it refused, paused for 60 s" << "refused with HTTP status 403";
    QTest::newRow("failing 3 times") << "body/missing" << 3 << false << "it failed too often, paused for 60 s"
                                     << "failed 3 times in a row \\(last: HTTP status 404\\)";
}

void TestDiscovery::troubledServerRestsItsTime()
{
    QFETCH(QString, fault);
    QFETCH(int, lookups);
    QFETCH(bool, refused);
    QFETCH(QString, pause);
    QFETCH(QString, log);
    const QString tag = QString(QTest::currentDataTag()).replace(' ', '_');
    const QString troubled = QString("http://127.0.0.2:%1/%2").arg(m_nginx.port()).arg(fault);
    const QStringList sources = QStringList{troubled + (fault.contains('?') ? "&" : "?") + tag} +
                                located({"N3/ip", "N4/ip", "N5/ip"}, tag + "-ok");
    AddressLookup lookup;
    qint64 now = 0;
    lookup.health().setClock([&now] { return now; });
    const auto look = [&](int quorum) {
        QSignalSpy finished(&lookup, &AddressLookup::finished);
        lookup.start({sources, quorum, 5000, 8000, QAbstractSocket::AnyIPProtocol, -1, 1});
        return finished.wait(5000) ? finished.first().first().value<LookupResult>().outcomes.first() : SourceOutcome();
    };
    const QString server = "^address source " + QRegularExpression::escape(sourceServer(troubled)) + " ";
    for (int i = 0; i < lookups; ++i) {
        if (i == lookups - 1)
            QTest::ignoreMessage(QtInfoMsg, QRegularExpression(server + log));
        QVERIFY(look(4).asked);  // all four needed
    }
    const qsizetype asked = requests(tag);
    QCOMPARE(asked, lookups);
    // Benched: the others are asked while they can agree; one that refused is not asked even when they cannot.
    const SourceOutcome first = look(3);
    QVERIFY2(!first.asked && first.reason.contains(pause), qPrintable(first.reason));
    QCOMPARE(look(4).asked, !refused);
    now += SourceHealth::LongestPauseMs + 1;
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(server + "is asked again"));
    QVERIFY(look(4).asked);
    QTRY_COMPARE(requests(tag), asked + 1 + !refused);
}

void TestDiscovery::noAnswerAtAllBenchesNobody()
{
    // Nobody listens there: as without a network, the failures are this side's, not the servers'.
    const QStringList sources{QString("http://127.0.0.3:%1/").arg(unusedLocalPort()),
                              QString("http://127.0.0.4:%1/").arg(unusedLocalPort())};
    AddressLookup lookup;
    for (int i = 0; i < SourceHealth::FailuresBeforePause; ++i) {
        QSignalSpy finished(&lookup, &AddressLookup::finished);
        lookup.start({sources, 2, 5000, 8000, QAbstractSocket::AnyIPProtocol, -1, 1});
        QVERIFY(finished.wait(5000));
    }
    for (const QString& source : sources)
        QVERIFY(!lookup.health().isBenched(sourceServer(source)));
}

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
