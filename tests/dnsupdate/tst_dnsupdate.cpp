#include "../notify/TestNotificationHost.h"
#include "PeerProcess.h"
#include "configure/frmConfigure.h"
#include "dnsupdate/DnsUpdateNotifier.h"
#include "notify/NotificationService.h"
#include "platform/ProcessLauncher.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

namespace {
const QString KeySecret = QStringLiteral("c2VjcmV0LWtleS1mb3ItdmlzdHJlbC10ZXN0cy0wMDE=");
const QString OtherSecret = QStringLiteral("b3RoZXIta2V5LWZvci12aXN0cmVsLXRlc3RzLTAwMDI=");
} // namespace

/// The DNS update against named and knotd on loopback ports (checked with dig and kdig), and against a peer that
/// answers what no real server does.
class TestDnsUpdate : public QObject
{
    Q_OBJECT

    /// The DNS update as the program runs it.
    struct Runner
    {
        explicit Runner(NotificationHost& host) : service(host, launcher)
        {
            auto made = std::make_unique<DnsUpdateNotifier>(service.host());
            notifier = made.get();
            service.setNotifier(Notifiers::Kind::DnsUpdate, std::move(made));
        }
        DetachedProcessLauncher launcher;
        NotificationService service;
        DnsUpdateNotifier* notifier;
    };
    /// Sends once and returns the report.
    static NotificationResult sendOnce(Runner& runner)
    {
        std::optional<NotificationResult> result;
        runner.service.notify(Notifiers::Kind::DnsUpdate, [&result](const NotificationResult& r) { result = r; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000); }();
        return result.value_or(NotificationResult::failed(QStringLiteral("no report")));
    }
    /// What the server holds, through its own tools.
    static QString look(const QString& tool, quint16 port, const QString& name, const QString& type)
    {
        return runTool(tool, {QStringLiteral("@127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                              QStringLiteral("+short"), name, type})
            .join(u',');
    }
    static void configure(Settings& settings, quint16 port, const QString& name, const QString& key,
                          const QString& secret)
    {
        settings.write(Key::DnsUpdateServer, QStringLiteral("127.0.0.1"));
        settings.write(Key::DnsUpdatePort, port);
        settings.write(Key::DnsUpdateZone, QStringLiteral("example.test"));
        settings.write(Key::DnsUpdateName, name);
        settings.write(Key::DnsUpdateKeyName, key);
        settings.write(Key::DnsUpdateKeySecret, secret);
    }

private slots:
    void updatesTheRealServers_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<QString>("expected");
        for (const QString& server : {QStringLiteral("bind"), QStringLiteral("knot")}) {
            const QByteArray tag = server.toLatin1();
            QTest::newRow(tag + " sets A and AAAA") << server << "home.example.test"
                                                    << "vistrel-key" << KeySecret
                                                    << "Success: DNS update: home.example.test set to 203.0.113.7, "
                                                       "2001:db8::7";
            // The server's BADSIG and BADKEY answers cannot be signed: refused, what they say shown as unverified.
            const QString unsigned_ = QStringLiteral("Error: DNS update: %1the answer from @ is not signed with the "
                                                     "key (its TSIG signature does not verify): refused; "
                                                     "unverified, it says %2: ");
            const QString readingA = QStringLiteral("reading the A record: ");
            QTest::newRow(tag + " wrong secret") << server << "home.example.test"
                                                 << "vistrel-key" << OtherSecret << unsigned_.arg(readingA, "BADSIG");
            QTest::newRow(tag + " unknown key") << server << "home.example.test"
                                                << "nobody-key" << KeySecret << unsigned_.arg(readingA, "BADKEY");
            // Knot answers an update its ACL denies as one with a key it does not know.
            QTest::newRow(tag + " no permission")
                << server << "home.example.test"
                << "other-key" << OtherSecret
                << (server == u"bind" ? "Error: DNS update: REFUSED: " : unsigned_.arg(QString(), "BADKEY"));
        }
        QTest::newRow("bind truncated answer asked again over TCP")
            << "bind"
            << "big.example.test"
            << "vistrel-key" << KeySecret << "Success: DNS update: big.example.test set to 203.0.113.7, 2001:db8::7";
    }
    void updatesTheRealServers()
    {
        QFETCH(QString, server);
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(QString, secret);
        QFETCH(QString, expected);
        PeerProcess peer;
        QString error;
        QVERIFY2(peer.start(QStringLiteral("dns_update_peer.py"), {server}, &error), qPrintable(error));
        expected.replace(u'@', "127.0.0.1 port " + peer.readyField("PORT"));
        TestNotificationHost host;
        configure(host.settings(), peer.port(), name, key, secret);
        Runner notifier(host);
        const QString tool = server == u"bind" ? QStringLiteral("dig") : QStringLiteral("kdig");
        const QString serial = look(tool, peer.port(), QStringLiteral("example.test"), QStringLiteral("SOA"));

        const NotificationResult result = sendOnce(notifier);
        QVERIFY2(result.message.startsWith(expected), qPrintable(result.message));
        QCOMPARE(host.status(), result.message);
        QVERIFY(!host.statuses.join(u'\n').contains(secret));
        if (!result.ok()) {
            QCOMPARE(look(tool, peer.port(), name, QStringLiteral("A")),
                     name.startsWith(u"home") ? "198.51.100.1" : "");
            return;
        }
        QCOMPARE(look(tool, peer.port(), name, QStringLiteral("A")), QStringLiteral("203.0.113.7"));
        QCOMPARE(look(tool, peer.port(), name, QStringLiteral("AAAA")), QStringLiteral("2001:db8::7"));
        const QString updated = look(tool, peer.port(), QStringLiteral("example.test"), QStringLiteral("SOA"));
        QVERIFY(updated != serial);

        // Again: what the last update set is remembered; without it, the server's records say the same.
        QCOMPARE(sendOnce(notifier).message,
                 QStringLiteral("Success: DNS update: %1 203.0.113.7, 2001:db8::7 already set; nothing sent").arg(name));
        host.settings().write(Key::DnsUpdateLastSet, QString());
        QCOMPARE(sendOnce(notifier).message, QStringLiteral("Success: DNS update: %1 already holds 203.0.113.7, "
                                                            "2001:db8::7: nothing sent")
                                                 .arg(name));
        QCOMPARE(look(tool, peer.port(), QStringLiteral("example.test"), QStringLiteral("SOA")), updated);
    }

    // Several names, each its own update, each with its own choice of records.
    void severalNames()
    {
        PeerProcess peer;
        QString error;
        QVERIFY2(peer.start(QStringLiteral("dns_update_peer.py"), {QStringLiteral("knot")}, &error), qPrintable(error));
        TestNotificationHost host;
        configure(host.settings(), peer.port(), R"([{"name": "home"}, {"name": "www.example.test.", "ipv6": false}])",
                  QStringLiteral("vistrel-key"), KeySecret);
        Runner notifier(host);
        QCOMPARE(sendOnce(notifier).message, QStringLiteral("Success: DNS update: home.example.test set to 203.0.113.7, "
                                                            "2001:db8::7; www.example.test set to 203.0.113.7"));
        QCOMPARE(look(QStringLiteral("kdig"), peer.port(), QStringLiteral("www.example.test"), QStringLiteral("A")),
                 QStringLiteral("203.0.113.7"));
        QCOMPARE(look(QStringLiteral("kdig"), peer.port(), QStringLiteral("www.example.test"), QStringLiteral("AAAA")),
                 QString());
        // With a stable address of its own: the machine's name gets it, another host its identifier in the prefix,
        // a name that asks for it the address the sources see.
        host.internal6 = QStringLiteral("2001:db8:1::5");
        host.prefix6 = QStringLiteral("2001:db8:1::/64");
        configure(host.settings(), peer.port(),
                  R"([{"name": "home"}, {"name": "nas", "ipv4": false, "iid": "02:00:5e:10:00:01"},
                      {"name": "www", "ipv4": false, "ipv6": "seen"}])",
                  QStringLiteral("vistrel-key"), KeySecret);
        QCOMPARE(
            sendOnce(notifier).message,
            QStringLiteral("Success: DNS update: home.example.test set to 2001:db8:1::5; "
                           "nas.example.test set to 2001:db8:1::5eff:fe10:1; www.example.test set to 2001:db8::7"));
        configure(host.settings(), peer.port(), R"([{"name": "nas", "iid": "2001:db8::10"}])",
                  QStringLiteral("vistrel-key"), KeySecret);
        QVERIFY(sendOnce(notifier).message.contains(u"nas: the interface identifier is neither like ::10"));
    }

    void dialogFieldsAndTestNow()
    {
        PeerProcess peer;
        QString error;
        QVERIFY2(peer.start(QStringLiteral("dns_update_peer.py"), {"bind"}, &error), qPrintable(error));
        TestNotificationHost host;
        DetachedProcessLauncher launcher;
        NotificationService service(host, launcher);
        service.setNotifier(Notifiers::Kind::DnsUpdate, std::make_unique<DnsUpdateNotifier>(service.host()));
        frmConfigure dialog(host, service);
        const auto type = [&dialog](const char* name, const QString& text) {
            auto* field = dialog.findChild<QLineEdit*>(name);
            field->selectAll();
            QTest::keyClicks(field, text);
        };
        type("txtDnsServer", QStringLiteral("127.0.0.1"));
        dialog.findChild<QSpinBox*>("spnDnsPort")->setValue(peer.port());
        type("txtDnsZone", QStringLiteral("example.test"));
        type("txtDnsName", QStringLiteral("home.example.test"));
        type("txtDnsKeyName", QStringLiteral("vistrel-key"));
        type("txtDnsSecret", KeySecret);
        QCOMPARE(dialog.findChild<QLineEdit*>("txtDnsSecret")->echoMode(), QLineEdit::Password);
        dialog.findChild<QCheckBox*>("chkDnsUpdate")->click();
        QVERIFY(host.settings().readFlag(Key::DnsUpdateNotify));
        QCOMPARE(host.settings().readInt(Key::DnsUpdatePort), int(peer.port()));
        dialog.findChild<QPushButton*>("cmdDnsTest")->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.findChild<QLabel*>("lblDnsResult")->text(),
                                  "Success: DNS update: home.example.test set to 203.0.113.7, 2001:db8::7", 15000);
        QCOMPARE(look("dig", peer.port(), "home.example.test", "A"), "203.0.113.7");
        QVERIFY(!host.statuses.join(u'\n').contains(KeySecret));
    }

    void changedMeanwhileIsNotOverwritten()
    {
        PeerProcess peer;
        QString error;
        QVERIFY2(peer.start(QStringLiteral("dns_update_peer.py"), {"bind"}, &error), qPrintable(error));
        // Read as 192.0.2.99, while the server holds 198.51.100.1: the prerequisite fails.
        const UpdatePlan plan{"example.test",
                              "home.example.test",
                              300,
                              {{DnsMessages::TypeA, {"192.0.2.99"}}},
                              {{DnsMessages::TypeA, {"203.0.113.7"}}}};
        const TsigKey key{"vistrel-key", KeySecret, "hmac-sha256"};
        DnsRequest update;
        QVERIFY(DnsMessages::buildUpdate(plan, key, &update, &error));
        DnsExchange exchange;
        std::optional<DnsAnswer> answer;
        exchange.start(QHostAddress::LocalHost, peer.port(), update, key, 5000,
                       [&answer](const DnsAnswer& a, const QString&) { answer = a; });
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(DnsMessages::rcodeText(*answer, plan.zone, key.name),
                 "NXRRSET: the record changed while it was being updated");
        QCOMPARE(look("dig", peer.port(), "home.example.test", "A"), "198.51.100.1");
    }

    void failsAndRemembersNothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<QString>("expected"); // after "Error: DNS update: "; @ stands for the server and port
        const QString unsigned_ = QStringLiteral("the answer from @ is not signed with the key (%1): refused");
        const QString readingA = QStringLiteral("reading the A record: ");
        QTest::newRow("forged ID") << "wrong-id" << KeySecret
                                   << "no valid answer from @, only an answer with another ID or opcode (forged";
        QTest::newRow("64 KiB of garbage")
            << "garbage" << KeySecret << "no valid answer from @, only no DNS message (forged or stray): refused";
        QTest::newRow("truncated, no TCP") << "truncated" << KeySecret << "@: Connection refused";
        // Each of these answers holds the wanted addresses: taken as true, it would send nothing and succeed.
        QTest::newRow("BADSIG, MAC all zeros")
            << "tsig-badsig" << KeySecret
            << readingA + unsigned_.arg("its TSIG signature does not verify") + "; unverified, it says BADSIG: ";
        QTest::newRow("unsigned query answer")
            << "unsigned" << KeySecret << readingA + unsigned_.arg("it carries no TSIG");
        QTest::newRow("unsigned SERVFAIL")
            << "unsigned-servfail" << KeySecret << readingA + unsigned_.arg("it carries no TSIG");
        QTest::newRow("signed with another key")
            << "other-key" << KeySecret << readingA + unsigned_.arg("its TSIG signature does not verify");
        QTest::newRow("unsigned update answer")
            << "unsigned-update" << KeySecret << unsigned_.arg("it carries no TSIG");
        // Each answer comes within its own time, the two together not within the update's.
        QTest::newRow("slow answers") << "delay:1.4" << KeySecret
                                      << "timed out: it did not end within 2.5 seconds";
        QTest::newRow("secret not Base64, nothing sent") << "none"
                                                         << "c2VjcmV0*a2V5"
                                                         << "the key secret is not Base64";
    }
    void failsAndRemembersNothing()
    {
        QFETCH(QString, fault);
        QFETCH(QString, secret);
        QFETCH(QString, expected);
        PeerProcess peer;
        QString error;
        QVERIFY2(
            peer.start(QStringLiteral("udp_fault_peer.py"),
                       {"--protocol", "dns", "--fault", fault, "--address", "203.0.113.7", "--address6", "2001:db8::7"},
                       &error),
            qPrintable(error));
        TestNotificationHost host;
        configure(host.settings(), peer.port(), QStringLiteral("home.example.test"), "vistrel-key", secret);
        Runner notifier(host);
        notifier.notifier->setTimeoutMs(1500);
        notifier.notifier->setTotalTimeoutMs(2500);
        const NotificationResult result = sendOnce(notifier);
        QCOMPARE(result.outcome, NotificationResult::Outcome::Failed);
        const QString prefix =
            "Error: DNS update: " + expected.replace(u'@', "127.0.0.1 port " + peer.readyField("PORT"));
        QVERIFY2(result.message.startsWith(prefix), qPrintable(result.message));
        QVERIFY(host.settings().read(Key::DnsUpdateLastSet).isEmpty());
        QCOMPARE(peer.readLines(200).isEmpty(), secret != KeySecret);
    }
};

QTEST_MAIN(TestDnsUpdate)
#include "tst_dnsupdate.moc"
