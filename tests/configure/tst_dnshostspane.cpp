// The "DNS Hosts" tab against tests/peers/dnshosts_peer.py answering as Cloudflare's API: an entry made in the
// window, its reading and its update; the entry of old keys shown and edited in them.
#include "../notify/TestNotificationHost.h"
#include "PeerProcess.h"
#include "configure/DnsHostsPane.h"
#include "configure/frmConfigure.h"
#include "dnsapi/DnsHostNotifier.h"
#include "notify/NotificationService.h"
#include "platform/ProcessLauncher.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

class TestDnsHostsPane : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qunsetenv("DBUS_SESSION_BUS_ADDRESS"); } // the secrets stay in the settings file
    void newEntryReadsThenUpdates();
    void entryOfOldKeys();

private:
    template <typename W> W* child(QWidget& dialog, const QString& name) { return dialog.findChild<W*>(name); }
    static void typeName(QWidget& dialog, const QString& name, const QString& ttl = {})
    {
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tblDnsHostNames"));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdDnsHostAddName")), Qt::LeftButton);
        const int row = table->rowCount() - 1;
        table->item(row, 0)->setText(name); // as the cell's editor commits it
        table->item(row, 3)->setText(ttl);
    }
};

void TestDnsHostsPane::newEntryReadsThenUpdates()
{
    PeerProcess peer;
    QVERIFY2(peer.start(QStringLiteral("dnshosts_peer.py"), {"--provider", "cloudflare", "--secret", "s3cret",
                                                             "--record", "A:home.example.com:198.51.100.1"}),
             qPrintable(peer.error()));
    TestNotificationHost host;
    DetachedProcessLauncher launcher;
    NotificationService service(host, launcher);
    auto notifier = std::make_unique<DnsHostNotifier>(service.host());
    notifier->setTimeoutMs(5000);
    service.setNotifier(Notifiers::Kind::DnsHosts, std::move(notifier));
    frmConfigure dialog(host, service);
    auto* entries = child<QComboBox>(dialog, "cmbDnsHostEntry");
    QCOMPARE(entries->count(), 1); // no old keys: only "New entry"
    auto* providers = child<QComboBox>(dialog, "cmbDnsHostProvider");
    providers->setCurrentIndex(providers->findData(QStringLiteral("cloudflare")));
    dialog.findChild<DnsHostsPane*>()->chooseProvider(providers->currentIndex());
    QVERIFY(child<QLabel>(dialog, "lblDnsHostLinks")->text().contains("Make the token at <a href=\"https://"));
    QTest::keyClicks(child<QLineEdit>(dialog, "txtDnsHostZone"), "example.com");
    auto* token = child<QLineEdit>(dialog, "txtDnsHost_token");
    QCOMPARE(token->echoMode(), QLineEdit::Password);
    QTest::keyClicks(token, "s3cret");
    QTest::keyClicks(child<QLineEdit>(dialog, "txtDnsHostApi"),
                     QStringLiteral("http://127.0.0.1:%1/client/v4").arg(peer.port()));
    child<QCheckBox>(dialog, "chkDnsHostOn")->setChecked(true);
    typeName(dialog, "home");
    auto* message = child<QLabel>(dialog, "lblDnsHostMessage");
    typeName(dialog, "office", "1 h"); // refused, and kept as typed
    QCOMPARE(message->text(), "Not saved: the TTL of office is no number of seconds up to 604800");
    auto* table = child<QTableWidget>(dialog, "tblDnsHostNames");
    QCOMPARE(table->item(1, 3)->text(), "1 h");
    table->item(1, 2)->setCheckState(Qt::Unchecked);
    table->item(1, 3)->setText("600");
    QCOMPARE(message->text(), "Saved.");
    QCOMPARE(entries->currentText(), "1: Cloudflare (example.com)");
    QCOMPARE(host.settings().read(DnsHostEntries::secretKey(1)), "s3cret");
    QCOMPARE(host.settings().read(DnsHostEntries::entryKey(1)),
             QStringLiteral(R"({"api":"http://127.0.0.1:%1/client/v4","names":[{"name":"home"},)"
                            R"({"ipv6":false,"name":"office","ttl":600}],"on":true,"provider":"cloudflare",)"
                            R"("zone":"example.com"})")
                 .arg(peer.port()));

    // Test Now reads and says what would change; an edit asks for a new reading; Update Now changes it.
    auto* test = child<QPushButton>(dialog, "cmdDnsHostTest");
    auto* result = child<QLabel>(dialog, "lblDnsHostResult");
    const auto click = [&](const QString& wanted) {
        QTest::mouseClick(test, Qt::LeftButton);
        QVERIFY(!test->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(test->isEnabled(), 10000);
        QVERIFY2(result->text().contains(wanted), qPrintable(result->text()));
    };
    click("would change home.example.com A 198.51.100.1 -> 203.0.113.7");
    QCOMPARE(test->text(), "Update &Now");
    QTest::keyClicks(child<QLineEdit>(dialog, "txtDnsHostLabel"), "Home");
    QCOMPARE(test->text(), "Test Now");
    click("Success: Home: would change home.example.com A 198.51.100.1 -> 203.0.113.7");
    click("Success: Home: home.example.com A 203.0.113.7 (was 198.51.100.1)");
    QCOMPARE(test->text(), "Test Now");
    const QByteArray printed = peer.stop();
    const QJsonArray records = QJsonDocument::fromJson(printed.mid(printed.indexOf("RECORDS ") + 8)).array();
    QStringList held;
    for (const QJsonValue& record : records)
        held << record[u"type"].toString() + u' ' + record[u"name"].toString() + u' ' + record[u"content"].toString();
    QVERIFY2(held.contains("A home.example.com 203.0.113.7") && held.contains("A office.example.com 203.0.113.7"),
             qPrintable(held.join(u'\n')));
}

void TestDnsHostsPane::entryOfOldKeys()
{
    TestNotificationHost host;
    QVERIFY(host.settings()
                .write({{Key::CloudflareNotify, "1"},
                        {Key::DnsApiZone, "example.org"},
                        {Key::DnsApiRecord, "home"},
                        {Key::DnsApiToken, "old-token"}})
                .ok);
    DetachedProcessLauncher launcher;
    NotificationService service(host, launcher);
    frmConfigure dialog(host, service);
    QCOMPARE(child<QComboBox>(dialog, "cmbDnsHostEntry")->currentText(), "Cloudflare (earlier settings)");
    QVERIFY(!child<QComboBox>(dialog, "cmbDnsHostProvider")->isEnabled());
    QVERIFY(child<QCheckBox>(dialog, "chkDnsHostOn")->isChecked());
    QCOMPARE(child<QLineEdit>(dialog, "txtDnsHost_token")->text(), "old-token");
    QCOMPARE(child<QTableWidget>(dialog, "tblDnsHostNames")->item(0, 0)->text(), "home");
    auto* zone = child<QLineEdit>(dialog, "txtDnsHostZone");
    zone->selectAll();
    QTest::keyClicks(zone, "example.net");
    QTest::keyClicks(child<QLineEdit>(dialog, "txtDnsHost_token"), "2");
    typeName(dialog, "vpn");
    dialog.storeEdits();
    QCOMPARE(host.settings().read(Key::DnsApiZone), "example.net");
    QCOMPARE(host.settings().read(Key::DnsApiToken), "old-token2");
    QCOMPARE(host.settings().read(Key::DnsApiRecord), "home");
    QCOMPARE(host.settings().read(Key::DnsApiNames), R"([{"name":"home","ttl":1},{"name":"vpn"}])");
}

QTEST_MAIN(TestDnsHostsPane)
#include "tst_dnshostspane.moc"
