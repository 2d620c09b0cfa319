// Each kind of source, and the lookup's agreement rule over them, against real servers (dnsmasq, coturn, nginx)
// and UDP peers that answer wrongly, late, differently or never.
#include "NginxPeer.h"
#include "PeerProcess.h"
#include "discovery/AddressLookup.h"
#include "discovery/SourceUri.h"

#include <QElapsedTimer>

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Outcome = LookupResult::Outcome;

class TestAddressSources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void udpSourceAnswersOrFails_data();
    void udpSourceAnswersOrFails();
    void stunRequestIsSentAgainWithoutAnswer();
    void httpSourceAnswersOrFails_data();
    void httpSourceAnswersOrFails();
    void httpsWithUntrustedCertificateFails();
    void lookupDecidesByAgreement_data();
    void lookupDecidesByAgreement();

private:
    /// Asks the source once; "answer" or "failed: reason". Checks the one-signal contract on the way.
    QString ask(const QString& uri, int timeoutMs = 1500);

    std::map<QString, PeerProcess> m_peers;  // DNS: dnsmasq, STUN: coturn, the others DNS fault peers
    NginxPeer m_nginx;
};

void TestAddressSources::initTestCase()
{
    QString error;
    QVERIFY2(m_peers["DNS"].start("udp_peers.py", {"dnsmasq", "--address=/myip.test/203.0.113.7",
                                                  "--address=/myip.test/2001:db8::7", "--address=/lan.test/10.0.0.1",
                                                  "--txt-record=txt.test,v=spf1 -all,203.0.113.7", "--address=/nx.test/"},
                                  &error),
             qPrintable(error));
    QVERIFY2(m_peers["STUN"].start("udp_peers.py", {"coturn"}, &error), qPrintable(error));
    for (const auto& [name, fault, address] : {std::tuple("LATE", "delay:3", "203.0.113.7"),
                                               std::tuple("OTHER", "none", "198.51.100.1"),
                                               std::tuple("SILENT", "silent", "203.0.113.7")})
        QVERIFY2(m_peers[name].start("udp_fault_peer.py", {"--protocol", "dns", "--fault", fault, "--address", address},
                                     &error),
                 qPrintable(error));
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

QString TestAddressSources::ask(const QString& uri, int timeoutMs)
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
    return answered.isEmpty() ? "failed: " + failed.first().first().toString()
                              : answered.first().first().value<QHostAddress>().toString();
}

void TestAddressSources::udpSourceAnswersOrFails_data()
{
    QTest::addColumn<QString>("fault");  // empty: dnsmasq or coturn; else the fault peer's
    QTest::addColumn<QString>("query");  // after dns://127.0.0.1:PORT/, or "stun"
    QTest::addColumn<QString>("expected");  // a regular expression
    QTest::newRow("A") << "" << "myip.test" << "^203\\.0\\.113\\.7$";
    QTest::newRow("AAAA") << "" << "myip.test?type=AAAA" << "^2001:db8::7$";
    QTest::newRow("TXT, second string") << "" << "txt.test?type=TXT" << "^203\\.0\\.113\\.7$";
    QTest::newRow("CH TXT not an address") << "" << "version.bind?type=TXT;class=CH" << "first: \"dnsmasq-";
    QTest::newRow("NXDOMAIN") << "" << "x.nx.test" << "NXDOMAIN";
    QTest::newRow("REFUSED") << "" << "txt.test?type=AAAA" << "failed: query refused";
    QTest::newRow("CH TXT") << "none" << "whoami.test?type=TXT&class=CH" << "^203\\.0\\.113\\.9$";
    QTest::newRow("wrong id") << "wrong-id" << "myip.test" << "failed: .*(imeout|no answer within)";
    QTest::newRow("truncated") << "truncated" << "myip.test" << "failed: truncated";
    QTest::newRow("SERVFAIL") << "servfail" << "myip.test" << "SERVFAIL";
    // coturn sees the test on loopback: the source reports that address, the lookup refuses it later.
    QTest::newRow("coturn") << "" << "stun" << "^127\\.0\\.0\\.1$";
    QTest::newRow("STUN no address") << "no-address" << "stun" << "^failed: no address attribute";
    QTest::newRow("STUN wrong id") << "wrong-id" << "stun" << "no answer within.*wrong transaction ID";
}

void TestAddressSources::udpSourceAnswersOrFails()
{
    QFETCH(QString, fault);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    const bool stun = query == "stun";
    PeerProcess faultPeer;
    QString error;
    if (!fault.isEmpty())
        QVERIFY2(faultPeer.start("udp_fault_peer.py", {"--protocol", stun ? "stun" : "dns", "--fault", fault}, &error),
                 qPrintable(error));
    const quint16 port = !fault.isEmpty() ? faultPeer.port() : m_peers[stun ? "STUN" : "DNS"].port();
    const QString answer = ask(stun ? QString("stun:127.0.0.1:%1").arg(port)
                                    : QString("dns://127.0.0.1:%1/%2").arg(port).arg(query));
    QVERIFY2(QRegularExpression(expected).match(answer).hasMatch(), qPrintable(answer));
}

void TestAddressSources::stunRequestIsSentAgainWithoutAnswer()
{
    PeerProcess& silent = m_peers["SILENT"];
    silent.readLines();
    QVERIFY(ask(QString("stun:127.0.0.1:%1").arg(silent.port()), 1800).startsWith("failed: no answer within 1800 ms"));
    QStringList sent;  // at 0, 0.5 and 1.5 s
    QTRY_COMPARE_WITH_TIMEOUT((sent += silent.readLines().filter("QUERY 20")).size(), 3, 3000);
}

void TestAddressSources::httpSourceAnswersOrFails_data()
{
    QTest::addColumn<QString>("body");  // "-": no such file
    QTest::addColumn<QString>("expected");
    QTest::newRow("address") << "203.0.113.7\n" << "^203\\.0\\.113\\.7$";
    QTest::newRow("html") << "<html><body>Sign in</body></html>" << "failed: body is not one address";
    QTest::newRow("error") << "error 203.0.113.7" << "failed: body is not one address";
    QTest::newRow("10MiB") << QString(10 << 20, QChar('7')) << "failed: body longer than 256 bytes";
    QTest::newRow("binary") << QString::fromLatin1("\x01\xff\x00\x80", 4) << "failed: body is not one address";
    QTest::newRow("404") << "-" << "failed: HTTP status 404";
}

void TestAddressSources::httpSourceAnswersOrFails()
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

void TestAddressSources::httpsWithUntrustedCertificateFails()
{
    // openssl s_server, gone after one connection, would answer an address to a client that skipped the check.
    QTemporaryDir dir;
    const QString make = "printf 'HTTP/1.0 200 ok\\r\\n\\r\\n203.0.113.7\\n' >ip && openssl req -x509 -newkey ec -pkeyopt "
                         "ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 "
                         "-keyout k.pem -out c.pem -days 1 2>/dev/null";
    QCOMPARE(QProcess::execute("sh", {"-c", "cd " + dir.path() + " && " + make}), 0);
    const quint16 port = unusedLocalPort();
    QProcess server;
    server.setWorkingDirectory(dir.path());
    server.start("openssl", {"s_server", "-naccept", "1", "-HTTP", "-accept", QString("127.0.0.1:%1").arg(port), "-cert",
                             "c.pem", "-key", "k.pem"});
    QByteArray out;
    QVERIFY(QTest::qWaitFor([&] { return server.waitForReadyRead(100), (out += server.readAll()).contains("ACCEPT"); }, 5000));
    const QString answer = ask(QString("https://127.0.0.1:%1/ip").arg(port));
    QVERIFY2(answer.startsWith("failed: ") && answer.contains("certificate"), qPrintable(answer));
}

void TestAddressSources::lookupDecidesByAgreement_data()
{
    QTest::addColumn<QStringList>("sources");  // a peer's name stands for dns://127.0.0.1:PORT
    QTest::addColumn<int>("totalTimeoutMs");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("reasons");  // per source, a part of its failure reason
    QTest::addColumn<int>("maxMs");
    QTest::newRow("quorum early, late one cancelled")
        << QStringList{"DNS/myip.test", "DNS/txt.test?type=TXT", "LATE/myip.test"} << 8000 << int(Outcome::Agreed)
        << "203.0.113.7" << QStringList{"", "", "not needed"} << 1500;
    QTest::newRow("disagreement") << QStringList{"DNS/myip.test", "OTHER/myip.test"} << 8000 << int(Outcome::Disagreed)
                                  << "" << QStringList{"", ""} << 1500;
    QTest::newRow("non-public not counted")
        << QStringList{"DNS/myip.test", "DNS/lan.test", "stun:127.0.0.1:STUN"} << 8000 << int(Outcome::Failed) << ""
        << QStringList{"", "not a public address: 10.0.0.1", "not a public address: 127.0.0.1"} << 1500;
    QTest::newRow("one source, quorum 1") << QStringList{"DNS/myip.test"} << 8000 << int(Outcome::Agreed)
                                          << "203.0.113.7" << QStringList{""} << 1500;
    QTest::newRow("total timeout") << QStringList{"SILENT/myip.test", "SILENT/txt.test"} << 1000 << int(Outcome::Failed)
                                   << "" << QStringList{"lookup's 1000 ms", "lookup's 1000 ms"} << 1500;
    QTest::newRow("malformed skipped") << QStringList{"dns://ns.test/myip.test", "DNS/myip.test"} << 8000
                                       << int(Outcome::Agreed) << "203.0.113.7"
                                       << QStringList{"malformed source: The DNS server", ""} << 1500;
    QTest::newRow("nothing usable") << QStringList{"gopher://x"} << 8000 << int(Outcome::NoSources) << ""
                                    << QStringList{"malformed"} << 500;
}

void TestAddressSources::lookupDecidesByAgreement()
{
    QFETCH(QStringList, sources);
    QFETCH(int, totalTimeoutMs);
    QFETCH(int, outcome);
    QFETCH(QString, address);
    QFETCH(QStringList, reasons);
    QFETCH(int, maxMs);
    for (QString& source : sources) {
        for (auto& [name, peer] : m_peers)
            source.replace(QRegularExpression("^" + name + "/"), QString("dns://127.0.0.1:%1/").arg(peer.port()))
                .replace(":" + name, ":" + QString::number(peer.port()));
    }
    AddressLookup lookup;
    QSignalSpy finished(&lookup, &AddressLookup::finished);
    QElapsedTimer clock;
    clock.start();
    lookup.start({sources, 2, 5000, totalTimeoutMs});
    lookup.start({sources, 2, 5000, totalTimeoutMs});  // a restart gives one result
    QVERIFY(lookup.isRunning() && finished.isEmpty());
    QVERIFY(finished.wait(totalTimeoutMs + 1000));
    QVERIFY2(clock.elapsed() < maxMs, qPrintable(QString::number(clock.elapsed())));
    const auto result = finished.first().first().value<LookupResult>();
    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(result.address, address);
    QCOMPARE(result.outcomes.size(), reasons.size());
    for (int i = 0; i < reasons.size(); ++i) {
        const SourceOutcome& o = result.outcomes[i];
        QVERIFY2(reasons[i].isEmpty() ? o.ok : !o.ok && o.reason.contains(reasons[i]), qPrintable(o.reason));
    }
    QTest::qWait(100);
    QCOMPARE(finished.size(), 1);
    QVERIFY(!lookup.isRunning());
}

QTEST_GUILESS_MAIN(TestAddressSources)
#include "tst_addresssources.moc"
