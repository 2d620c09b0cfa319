// The DNS host's API notifier against tests/peers/dnsapi_peer.py, which answers in the API's documented shapes, on
// its own and from its tab of the configuration dialog.
#include "../notify/TestNotificationHost.h"
#include "PeerProcess.h"
#include "configure/frmConfigure.h"
#include "dnsapi/DnsApiNotifier.h"
#include "keyring/PasswordStore.h"
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
    void sendsNothingWhenNothingChanged();
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
        DnsApiNotifier notifier(host, token);
        notifier.setTimeoutMs(5000);
        std::optional<NotificationResult> result;
        notifier.send([&result](const NotificationResult& r) { result = r; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 15000); }();
        Run run{result.value_or(NotificationResult{}), {}};
        const QString secret = host.settings().read(Key::DnsApiToken);
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
        return run;
    }
    static void configure(TestNotificationHost& host, quint16 port, const QString& zone, const QString& record)
    {
        Settings& settings = host.settings();
        QVERIFY(settings.write(Key::DnsApiZone, zone).ok);
        QVERIFY(settings.write(Key::DnsApiRecord, record).ok);
        QVERIFY(settings.write(Key::DnsApiToken, QStringLiteral("test-token")).ok);
        QVERIFY(settings.write(Key::DnsApiBaseUrl, QStringLiteral("http://127.0.0.1:%1/client/v4/").arg(port)).ok);
    }
};

void TestDnsApiNotifier::showsTheOutcome_data()
{
    QTest::addColumn<QStringList>("peer"); // the peer's options
    QTest::addColumn<QString>("setting");  // "key=value" changed after the usual ones, or empty
    QTest::addColumn<QString>("status");   // the outcome shown
    QTest::addColumn<QString>("methods");  // the requests that reached the peer
    const QString a = QStringLiteral("--record=A:home.example.com:");
    const QString aaaa = QStringLiteral("--record=AAAA:home.example.com:");
    const QString error = QStringLiteral("Error: DNS API: ");
    QTest::newRow("A changed, AAAA created, a name in the zone")
        << QStringList{a + "198.51.100.7"} << "dnsApiRecord=home"
        << "Success: DNS API: home.example.com A 203.0.113.7 (was 198.51.100.7), AAAA 2001:db8::7 created"
        << "GET GET PATCH GET POST";
    QTest::newRow("both hold the addresses: nothing written")
        << QStringList{a + "203.0.113.7", aaaa + "2001:0db8:0::7"} << QString()
        << "Success: DNS API: home.example.com A 203.0.113.7 already set, AAAA 2001:db8::7 already set"
        << "GET GET GET";
    QTest::newRow("two A records") << QStringList{a + "192.0.2.1", a + "192.0.2.2"} << QString()
                                   << error + "home.example.com has 2 A records; leave one for the update"
                                   << "GET GET";
    QTest::newRow("zone unknown") << QStringList{} << "dnsApiZone=example.org"
                                  << error + "zone example.org not found (or the token may not read it)"
                                  << "GET";
    QTest::newRow("wrong token 401") << QStringList{"--token=other"} << QString()
                                     << error + "the token was refused (code 10000: Authentication error)"
                                     << "GET";
    QTest::newRow("token echoed back is blanked")
        << QStringList{"--fault=echo"} << QString()
        << error + "the token was refused (code 10000: Authentication error for Bearer ***)"
        << "GET";
    QTest::newRow("403") << QStringList{"--fault=403"} << QString()
                         << error + "the token may not do this: give it DNS edit rights for the zone (code 9109: "
                                    "Unauthorized to access requested resource)"
                         << "GET";
    QTest::newRow("404") << QStringList{"--fault=404"} << QString()
                         << error + "the API has no such zone or record (HTTP 404) (code 7003: Could not route to "
                                    "/zones, perhaps your object identifier is invalid?)"
                         << "GET";
    QTest::newRow("429 Retry-After") << QStringList{"--fault=429"} << QString()
                                     << error + "too many requests; the API asks to wait 30 s before the next "
                                                "(code 971: Please wait and consider throttling your request speed)"
                                     << "GET";
    QTest::newRow("success false") << QStringList{"--fault=refused"} << QString()
                                   << error + "the API did not carry out the request (code 1004: DNS Validation Error)"
                                   << "GET";
    QTest::newRow("10 MiB") << QStringList{"--fault=huge"} << QString()
                            << error + "the answer was larger than 1 MiB and was not read"
                            << "GET";
    QTest::newRow("not JSON") << QStringList{"--fault=badjson"} << QString()
                              << error + "the answer was not the API's JSON"
                              << "GET";
    QTest::newRow("plain http to another host") << QStringList{} << "dnsApiBaseUrl=http://192.0.2.1/client/v4"
                                                << error + "the API address must be an https:// URL (the token must "
                                                           "not travel unencrypted)"
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
    configure(host, api.port(), QStringLiteral("example.com"), QStringLiteral("home.example.com"));
    if (!setting.isEmpty())
        QVERIFY(host.settings().write(setting.section(u'=', 0, 0), setting.section(u'=', 1)).ok);
    const Run run = update(host, api);
    QCOMPARE(run.result.message, status);
    QCOMPARE(run.result.ok(), status.startsWith(QLatin1String("Success")));
    QCOMPARE(host.status(), status);
    QCOMPARE(run.methods.join(u' '), methods);
}

void TestDnsApiNotifier::sendsNothingWhenNothingChanged()
{
    PeerProcess api;
    QString error;
    QVERIFY2(api.start(QStringLiteral("dnsapi_peer.py"), {QStringLiteral("--record=A:example.com:192.0.2.9")}, &error),
             qPrintable(error));
    TestNotificationHost host;
    configure(host, api.port(), QStringLiteral("Example.com."), QStringLiteral("@"));
    QCOMPARE(update(host, api).methods.join(u' '), QStringLiteral("GET GET PATCH GET POST"));
    const Run again = update(host, api);
    QVERIFY(again.methods.isEmpty());
    QCOMPARE(again.result.message, QStringLiteral("Success: DNS API: example.com already holds 203.0.113.7 "
                                                  "2001:db8::7 (nothing sent)"));
    QVERIFY(again.result.ok());
    // Another record name is another update.
    QVERIFY(host.settings().write(Key::DnsApiRecord, QStringLiteral("www")).ok);
    QCOMPARE(update(host, api).methods.join(u' '), QStringLiteral("GET GET POST GET POST"));
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
    DnsApiNotifier notifier(host, host.token);
    service.setNotifier(Notifiers::Kind::Cloudflare, &notifier);
    frmConfigure dialog(host, service);
    dialog.show();
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tabsConfigure"));
    tabs->setCurrentIndex(tabs->count() - 1);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("&DNS API"));
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
    // A second test asks the API again, and finds nothing to change.
    dialog.findChild<QPushButton*>(QStringLiteral("cmdDnsApiTest"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(host.status().contains(QLatin1String("already set")), 15000);
    QCOMPARE(api.readLines(200).size(), 5 + 3);
}

QTEST_MAIN(TestDnsApiNotifier)
#include "tst_dnsapinotifier.moc"
