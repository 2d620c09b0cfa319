// The configuration dialog's "Address sources" part: edits stored at once, malformed URIs refused with
// the reason, and "Test" asking each source (nginx) once.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "app/Settings.h"
#include "discovery/SourceUri.h"
#include "notify/AddressSourcesPane.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

class TestAddressSourcesPane : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void editsAreStoredAtOnce();
    void malformedSourceIsRefused_data();
    void malformedSourceIsRefused();
    void testAsksEverySource();

private:
    template <typename W> W* child(const char* name) { return m_pane->findChild<W*>(QLatin1String(name)); }
    void add(const QString& uri);
    QString stored(const char* key) { return m_settings->read(QLatin1String(key), QStringLiteral("(absent)")); }

    std::unique_ptr<TempConfigHome> m_home;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<AddressSourcesPane> m_pane;
};

void TestAddressSourcesPane::init()
{
    m_pane.reset();
    m_home = std::make_unique<TempConfigHome>();
    m_home->writeSettingsFile("[Settings]\naddressSources=https://a.example dns://192.0.2.53/me?type=A\n");
    m_settings = std::make_unique<Settings>(m_home->settingsPath());
    m_pane = std::make_unique<AddressSourcesPane>(*m_settings);
}

void TestAddressSourcesPane::add(const QString& uri)
{
    child<QLineEdit>("txtNewSource")->setText(uri);
    child<QPushButton>("cmdAdd")->click();
}

void TestAddressSourcesPane::editsAreStoredAtOnce()
{
    const QString a = QStringLiteral("https://a.example");
    const QString dns = QStringLiteral("dns://192.0.2.53/me?type=A");
    QCOMPARE(m_pane->shownSources(), (QStringList{a, dns}));
    add(QStringLiteral("stun:192.0.2.9:3478"));
    QCOMPARE(stored("addressSources"), a + " " + dns + " stun:192.0.2.9:3478");
    auto* list = child<QTreeWidget>("lstSources");
    list->setCurrentItem(list->topLevelItem(2));
    child<QPushButton>("cmdUp")->click();
    child<QPushButton>("cmdUp")->click();
    QVERIFY(!child<QPushButton>("cmdUp")->isEnabled()); // at the top
    QCOMPARE(stored("addressSources"), "stun:192.0.2.9:3478 " + a + " " + dns);
    child<QPushButton>("cmdDown")->click();
    child<QPushButton>("cmdRemove")->click();
    QCOMPARE(stored("addressSources"), a + " " + dns);

    // The IPv6 list is a list of its own: the default until edited, emptied on purpose stays empty.
    QCOMPARE(stored("address6Sources"), QStringLiteral("(absent)"));
    child<QComboBox>("cmbFamily")->setCurrentIndex(1);
    QVERIFY(m_pane->shownSources().size() > 1);
    while (list->topLevelItemCount() > 0) {
        list->setCurrentItem(list->topLevelItem(0));
        child<QPushButton>("cmdRemove")->click();
    }
    QCOMPARE(stored("address6Sources"), QString());
    QCOMPARE(stored("addressSources"), a + " " + dns);
}

void TestAddressSourcesPane::malformedSourceIsRefused_data()
{
    QTest::addColumn<QString>("uri");
    QTest::newRow("unknown scheme") << QStringLiteral("ftp://192.0.2.1/ip");
    QTest::newRow("DNS server by name") << QStringLiteral("dns://resolver.example/me?type=A");
    QTest::newRow("STUN port") << QStringLiteral("stun:192.0.2.9:99999");
    QTest::newRow("empty") << QString();
}

void TestAddressSourcesPane::malformedSourceIsRefused()
{
    QFETCH(QString, uri);
    const QString before = stored("addressSources");
    add(uri);
    QString reason;
    QVERIFY(!checkSourceUri(uri, &reason));
    QCOMPARE(child<QLabel>("lblMessage")->text(), QStringLiteral("Not added: ") + reason);
    QCOMPARE(stored("addressSources"), before);
    QCOMPARE(child<QLineEdit>("txtNewSource")->text(), uri); // kept for mending
}

void TestAddressSourcesPane::testAsksEverySource()
{
    NginxPeer nginx;
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    nginx.setBody(QStringLiteral("ip"), "203.0.113.1\n");
    nginx.setBody(QStringLiteral("private"), "192.168.1.1\n");
    m_home->writeSettingsFile("[Settings]\naddressSources=" + nginx.url(QStringLiteral("/body/ip")).toEncoded() + " " +
                              nginx.url(QStringLiteral("/body/missing")).toEncoded() + " " +
                              nginx.url(QStringLiteral("/body/private")).toEncoded() + " bogus:x\n");
    m_pane = std::make_unique<AddressSourcesPane>(*m_settings);
    QSignalSpy done(m_pane.get(), &AddressSourcesPane::testFinished);
    child<QPushButton>("cmdTest")->click();
    QVERIFY(done.wait(10000));
    auto* list = child<QTreeWidget>("lstSources");
    const auto result = [list](int row) { return list->topLevelItem(row)->text(1); };
    QVERIFY2(QRegularExpression(QStringLiteral("^203\\.0\\.113\\.1 \\(\\d+ ms\\)$")).match(result(0)).hasMatch(),
             qPrintable(result(0)));
    QVERIFY2(result(1).startsWith(QStringLiteral("failed after ")), qPrintable(result(1)));
    QVERIFY2(result(2).endsWith(QStringLiteral("not a public address: not counted")), qPrintable(result(2)));
    QVERIFY2(result(3).startsWith(QStringLiteral("not asked: ")), qPrintable(result(3)));
    QCOMPARE(nginx.accessLog().filter(QStringLiteral("/body/ip")).size(), 1);
}

QTEST_MAIN(TestAddressSourcesPane)
#include "tst_addresssourcespane.moc"
