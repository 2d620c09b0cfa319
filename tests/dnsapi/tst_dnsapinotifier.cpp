// The DNS host's API notifier against tests/peers/dnsapi_peer.py, which answers in the API's documented shapes, on
// its own and from its tab of the configuration dialog.
#include "../notify/TestNotificationHost.h"
#include "PeerProcess.h"
#include "configure/frmConfigure.h"
#include "dnsapi/DnsApiNotifier.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationService.h"
#include "platform/ProcessLauncher.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

class TestDnsApiNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qunsetenv("DBUS_SESSION_BUS_ADDRESS"); } // the token stays in the settings file
    void showsTheOutcome_data();
    void showsTheOutcome();
    void theDialogsTabStoresAndTests();

private:
    struct Run
    {
        NotificationResult result;
        QStringList methods;
    };
    /// Sends once with the peer started with @p args; every request is checked to carry the token only in its
    /// Authorization header.
    static Run update(TestNotificationHost& host, PeerProcess& peer)
    {
        PasswordStore token(QStringLiteral("Tarnwick IP Vistrel"), host.settings(), nullptr, Key::DnsApiToken,
                            QStringLiteral("DNS API token"));
        token.start();
        host.stores[Key::DnsApiToken] = &token;
        DetachedProcessLauncher launcher;
        NotificationService service(host, launcher);
        auto notifier = std::make_unique<DnsApiNotifier>(service.host());
        notifier->setTimeoutMs(5000);
        service.setNotifier(Notifiers::Kind::Cloudflare, std::move(notifier));
        std::optional<NotificationResult> result;
        service.notify(Notifiers::Kind::Cloudflare, [&result](const NotificationResult& r) { result = r; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 15000); }();
        Run run{result.value_or(NotificationResult{}), {}};
        const QString secret = QStringLiteral("test-token"); // the settings', moved into the keyring where one answers
        for (const QString& line : peer.readLines(200)) {
            const QJsonObject request = QJsonDocument::fromJson(line.section(u' ', 1).toUtf8()).object();
            run.methods << request[u"method"].toString();
            [&] {
                QCOMPARE(request[u"authorization"].toString(), QStringLiteral("Bearer ") + secret);
                QVERIFY(!request[u"path"].toString().contains(secret) && !request[u"body"].toString().contains(secret));
            }();
        }
        for (const QString& status : host.statuses)
            [&] { QVERIFY2(!status.contains(secret), qPrintable(status)); }();
        host.stores.clear();
        return run;
    }
};

void TestDnsApiNotifier::showsTheOutcome_data()
{
    QTest::addColumn<QStringList>("peer"); // the peer's options
    QTest::addColumn<QString>("setting");  // "key=value" changed after the usual ones, or empty
    QTest::addColumn<QString>("status");   // how the outcome shown starts
    QTest::addColumn<QString>("methods");  // the requests that reached the peer
    const QString a = QStringLiteral("--record=A:home.example.com:");
    const auto fault = [](const char* row, const QString& option, const QString& status, const QString& setting = {}) {
        QTest::newRow(row) << QStringList{option} << setting << "Error: DNS API: " + status << "GET";
    };
    QTest::newRow("A changed, AAAA created, a name in the zone")
        << QStringList{a + "198.51.100.7"} << "dnsApiRecord=home"
        << "Success: DNS API: home.example.com A 203.0.113.7 (was 198.51.100.7), AAAA 2001:db8::7 created"
        << "GET GET PATCH GET POST";
    QTest::newRow("both hold the addresses: nothing written")
        << QStringList{a + "203.0.113.7", "--record=AAAA:home.example.com:2001:0db8:0::7"} << QString()
        << "Success: DNS API: home.example.com A 203.0.113.7 already set, AAAA 2001:db8::7 already set"
        << "GET GET GET";
    QTest::newRow("two A records") << QStringList{a + "192.0.2.1", a + "192.0.2.2"} << QString()
                                   << "Error: DNS API: home.example.com has 2 A records"
                                   << "GET GET";
    QTest::newRow("2 s an answer: the update's 5 s end in its third request")
        << QStringList{a + "198.51.100.7", "--fault=slow"} << QString()
        << "Error: DNS API: timed out: it did not end within 5 seconds" << "GET GET PATCH";
    fault("zone unknown", "--zone=example.com", "zone example.org not found", "dnsApiZone=example.org");
    fault("wrong token 401", "--token=other", "the token was refused (code 10000: Authentication error)");
    fault("token echoed back", "--fault=echo",
          "the token was refused (code 10000: Authentication error for Bearer ***)");
    fault("token escaped where the message is cut", "--fault=echo-cut",
          "the token was refused (code 10000: Authentication error for " + QString(87, u'x') + "***)");
    fault("403", "--fault=403", "the token may not do this");
    fault("404", "--fault=404", "the API has no such zone or record (HTTP 404) (code 7003: Could not route");
    fault("429 Retry-After", "--fault=429", "too many requests; the API asks to wait 30 s before the next");
    fault("success false", "--fault=refused", "the API did not carry out the request (code 1004:");
    fault("10 MiB", "--fault=huge", "the answer was larger than 1 MiB and was not read");
    fault("not JSON", "--fault=badjson", "the answer was not the API's JSON");
    QTest::newRow("plain http to another host") << QStringList{} << "dnsApiBaseUrl=http://192.0.2.1/client/v4"
                                                << "Error: DNS API: the API address must be an https:// URL"
                                                << "";
}

void TestDnsApiNotifier::showsTheOutcome()
{
    QFETCH(QStringList, peer);
    QFETCH(QString, setting);
    QFETCH(QString, status);
    QFETCH(QString, methods);
    PeerProcess api;
    QString error;
    QVERIFY2(api.start(QStringLiteral("dnsapi_peer.py"), peer, &error), qPrintable(error));
    TestNotificationHost host;
    for (const QString& value :
         {u"dnsApiZone=example.com"_qs, u"dnsApiRecord=home.example.com"_qs, u"dnsApiToken=test-token"_qs,
          QStringLiteral("dnsApiBaseUrl=http://127.0.0.1:%1/client/v4/").arg(api.port())})
        QVERIFY(host.settings().write(value.section(u'=', 0, 0), value.section(u'=', 1)).ok);
    if (!setting.isEmpty())
        QVERIFY(host.settings().write(setting.section(u'=', 0, 0), setting.section(u'=', 1)).ok);
    const Run run = update(host, api);
    QVERIFY2(run.result.message.startsWith(status), qPrintable(run.result.message));
    QCOMPARE(run.result.ok(), status.startsWith(QLatin1String("Success")));
    QCOMPARE(host.status(), run.result.message);
    QCOMPARE(run.methods.join(u' '), methods);
    // Only a server that asked for time makes the next try wait (its Retry-After: 30 s).
    const qint64 wait = QDateTime::currentDateTimeUtc().secsTo(run.result.notBefore);
    QVERIFY2(status.contains(QLatin1String("30 s")) ? wait > 20 && wait <= 30 : run.result.notBefore.isNull(),
             qPrintable(QString::number(wait)));
}

void TestDnsApiNotifier::theDialogsTabStoresAndTests()
{
    PeerProcess api;
    QString error;
    QVERIFY2(api.start(QStringLiteral("dnsapi_peer.py"),
                       {QStringLiteral("--record=A:home.example.com:192.0.2.9"), QStringLiteral("--token=typed")},
                       &error),
             qPrintable(error));
    struct Host : TestNotificationHost
    {
        PasswordStore token{QStringLiteral("Tarnwick IP Vistrel"), settings(), nullptr, Key::DnsApiToken,
                            QStringLiteral("DNS API token")};
        PasswordStore* secretStore(Key key) override { return key == Key::DnsApiToken ? &token : nullptr; }
    } host;
    host.token.start();
    DetachedProcessLauncher launcher;
    NotificationService service(host, launcher);
    service.setNotifier(Notifiers::Kind::Cloudflare, std::make_unique<DnsApiNotifier>(service.host()));
    frmConfigure dialog(host, service);
    dialog.show();
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tabsConfigure"));
    tabs->setCurrentIndex(tabs->count() - 1);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("DNS &API"));
    const auto type = [&dialog](const char* name, const QString& text) {
        auto* field = dialog.findChild<QLineEdit*>(QLatin1String(name));
        field->selectAll();
        QTest::keyClicks(field, text);
        return field;
    };
    type("txtDnsApiZone", QStringLiteral("example.com"));
    type("txtDnsApiRecord", QStringLiteral("home"));
    type("txtDnsApiBaseUrl", QStringLiteral("http://127.0.0.1:%1/client/v4").arg(api.port()));
    QCOMPARE(type("txtDnsApiToken", QStringLiteral("typed"))->echoMode(), QLineEdit::Password);
    dialog.findChild<QCheckBox*>(QStringLiteral("chkDnsApiNotify"))->click();
    QCOMPARE(host.settings().read(Key::DnsApiRecord), QStringLiteral("home"));
    QVERIFY(host.settings().readFlag(Key::CloudflareNotify));
    QTRY_COMPARE(host.token.password(), QStringLiteral("typed"));

    dialog.findChild<QPushButton*>(QStringLiteral("cmdDnsApiTest"))->click();
    const QString done = QStringLiteral("Success: DNS API: home.example.com A 203.0.113.7 (was 192.0.2.9), AAAA "
                                        "2001:db8::7 created");
    QTRY_COMPARE_WITH_TIMEOUT(dialog.findChild<QLabel*>(QStringLiteral("lblDnsApiResult"))->text(), done, 15000);
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("txtStatus"))->text(), done);
}

QTEST_MAIN(TestDnsApiNotifier)
#include "tst_dnsapinotifier.moc"
