// The agreement rule over real sources: dnsmasq, coturn and UDP peers that answer late, differently or never.
#include "PeerProcess.h"
#include "discovery/AddressLookup.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using Outcome = LookupResult::Outcome;

class TestAddressLookup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void lookupDecidesByAgreement_data();
    void lookupDecidesByAgreement();

private:
    std::map<QString, PeerProcess> m_peers;
};

void TestAddressLookup::initTestCase()
{
    QString error;
    QVERIFY2(m_peers["DNS"].start("dns_peer.py", {"--", "--address=/myip.test/203.0.113.7",
                                                  "--txt-record=txt.test,203.0.113.7", "--address=/lan.test/10.0.0.1"},
                                  &error),
             qPrintable(error));
    QVERIFY2(m_peers["STUN"].start("stun_peer.py", {}, &error), qPrintable(error));
    for (const auto& [name, fault, address] : {std::tuple("LATE", "delay:3", "203.0.113.7"),
                                               std::tuple("OTHER", "none", "198.51.100.1"),
                                               std::tuple("SILENT", "silent", "203.0.113.7")})
        QVERIFY2(m_peers[name].start("udp_fault_peer.py", {"--protocol", "dns", "--fault", fault, "--address", address},
                                     &error),
                 qPrintable(error));
}

void TestAddressLookup::lookupDecidesByAgreement_data()
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

void TestAddressLookup::lookupDecidesByAgreement()
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

QTEST_GUILESS_MAIN(TestAddressLookup)
#include "tst_addresslookup.moc"
