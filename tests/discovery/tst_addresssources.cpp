// Each kind of source against a real server (dnsmasq, coturn, nginx) and against a peer that answers wrongly.
#include "NginxPeer.h"
#include "PeerProcess.h"
#include "discovery/SourceUri.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestAddressSources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dnsSourceAnswersOrFails_data();
    void dnsSourceAnswersOrFails();
    void stunSourceAnswersOrFails_data();
    void stunSourceAnswersOrFails();
    void stunRequestIsSentAgainWithoutAnswer();
    void httpSourceAnswersOrFails_data();
    void httpSourceAnswersOrFails();
    void httpsWithUntrustedCertificateFails();

private:
    /// Asks the source once; "answer" or "failed: reason". Checks the one-signal contract on the way.
    QString ask(const QString& uri, int timeoutMs = 1500);

    PeerProcess m_dnsmasq;
    PeerProcess m_coturn;
    NginxPeer m_nginx;
};

void TestAddressSources::initTestCase()
{
    QString error;
    QVERIFY2(m_dnsmasq.start("dns_peer.py", {"--", "--address=/myip.test/203.0.113.7", "--address=/myip.test/2001:db8::7",
                                             "--txt-record=txt.test,v=spf1 -all,203.0.113.7", "--address=/nx.test/"},
                             &error),
             qPrintable(error));
    QVERIFY2(m_coturn.start("stun_peer.py", {}, &error), qPrintable(error));
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

void TestAddressSources::dnsSourceAnswersOrFails_data()
{
    QTest::addColumn<QString>("fault");  // empty: dnsmasq
    QTest::addColumn<QString>("query");
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
    QTest::newRow("late") << "delay:3" << "myip.test" << "failed: .*(imeout|no answer within)";
}

void TestAddressSources::dnsSourceAnswersOrFails()
{
    QFETCH(QString, fault);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    PeerProcess faultPeer;
    QString error;
    if (!fault.isEmpty())
        QVERIFY2(faultPeer.start("udp_fault_peer.py", {"--protocol", "dns", "--fault", fault}, &error), qPrintable(error));
    const quint16 port = fault.isEmpty() ? m_dnsmasq.port() : faultPeer.port();
    const QString answer = ask(QString("dns://127.0.0.1:%1/%2").arg(port).arg(query));
    QVERIFY2(QRegularExpression(expected).match(answer).hasMatch(), qPrintable(answer));
}

void TestAddressSources::stunSourceAnswersOrFails_data()
{
    QTest::addColumn<QString>("fault");  // empty: coturn
    QTest::addColumn<QString>("expected");
    // coturn sees the test on loopback: the source reports that address, the lookup refuses it later.
    QTest::newRow("coturn") << "" << "^127\\.0\\.0\\.1$";
    QTest::newRow("no address") << "no-address" << "^failed: no address attribute";
    QTest::newRow("wrong id") << "wrong-id" << "no answer within.*wrong transaction ID";
}

void TestAddressSources::stunSourceAnswersOrFails()
{
    QFETCH(QString, fault);
    QFETCH(QString, expected);
    PeerProcess faultPeer;
    QString error;
    if (!fault.isEmpty())
        QVERIFY2(faultPeer.start("udp_fault_peer.py", {"--protocol", "stun", "--fault", fault}, &error), qPrintable(error));
    const QString answer = ask(QString("stun:127.0.0.1:%1").arg(fault.isEmpty() ? m_coturn.port() : faultPeer.port()));
    QVERIFY2(QRegularExpression(expected).match(answer).hasMatch(), qPrintable(answer));
}

void TestAddressSources::stunRequestIsSentAgainWithoutAnswer()
{
    PeerProcess silent;
    QString error;
    QVERIFY2(silent.start("udp_fault_peer.py", {"--protocol", "stun", "--fault", "silent"}, &error), qPrintable(error));
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

QTEST_GUILESS_MAIN(TestAddressSources)
#include "tst_addresssources.moc"
