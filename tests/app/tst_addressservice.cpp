// What an address service body yields: an address, or a failed lookup.
#include "app/ProductInfo.h"
#include "discovery/AddressBody.h"
#include "discovery/SourceUri.h"

#include <QtTest>

class TestAddressService : public QObject
{
    Q_OBJECT
private slots:
    void bodies_data();
    void bodies();
    void urlFromProductOrEnvironment();
};

void TestAddressService::bodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("address");  // empty: the lookup fails
    QTest::newRow("plain IPv4") << QByteArray("203.0.113.7") << QStringLiteral("203.0.113.7");
    QTest::newRow("IPv4 with line end") << QByteArray("203.0.113.7\r\n") << QStringLiteral("203.0.113.7");
    QTest::newRow("IPv4 with blanks") << QByteArray("  198.51.100.1 \t") << QStringLiteral("198.51.100.1");
    QTest::newRow("IPv6") << QByteArray("2001:db8::42\n") << QStringLiteral("2001:db8::42");
    QTest::newRow("IPv4-mapped IPv6") << QByteArray("::ffff:192.0.2.1") << QStringLiteral("::ffff:192.0.2.1");
    QTest::newRow("ERROR") << QByteArray("ERROR") << QString();
    QTest::newRow("Error in a sentence") << QByteArray("An Error occurred, sorry") << QString();
    QTest::newRow("error next to an address") << QByteArray("1.2.3.4 error") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("white space only") << QByteArray(" \r\n\t") << QString();
    QTest::newRow("HTML page") << QByteArray("<html><body>Log in to the hotel Wi-Fi</body></html>") << QString();
    QTest::newRow("part too large") << QByteArray("256.1.1.1") << QString();
    QTest::newRow("three parts") << QByteArray("1.2.3") << QString();
    QTest::newRow("five parts") << QByteArray("1.2.3.4.5") << QString();
    QTest::newRow("empty part") << QByteArray("1..3.4") << QString();
    QTest::newRow("sign") << QByteArray("+1.2.3.4") << QString();
    QTest::newRow("hex part") << QByteArray("0x7f.0.0.1") << QString();
    QTest::newRow("two lines") << QByteArray("1.2.3.4\n5.6.7.8") << QString();
    QTest::newRow("inner blank") << QByteArray("1.2. 3.4") << QString();
    QTest::newRow("IPv6 with zone") << QByteArray("fe80::1%eth0") << QString();
    QTest::newRow("colons only") << QByteArray(":::::") << QString();
    QTest::newRow("NUL inside") << QByteArray("1.2.3.4\0", 8) << QString();
    QTest::newRow("long padding") << (QByteArray(300, ' ') + "1.2.3.4") << QString();
    QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe" "1.2.3.4") << QString();
}

void TestAddressService::bodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, address);
    const auto result = externalAddressFromBody(body);
    QCOMPARE(result.value_or(QString()), address);
    QCOMPARE(result.has_value(), !address.isEmpty());
}

void TestAddressService::urlFromProductOrEnvironment()
{
    const ProductInfo& product = LoadProductInfo();
    qunsetenv("VISTREL_ADDRESS_URL");
    const QUrl url(defaultAddressSources().first());
    QCOMPARE(url, QUrl(vendorAddressServiceUrl(product.website)));
    QCOMPARE(url.scheme(), QStringLiteral("http"));
    QCOMPARE(url.host(), QStringLiteral("www.") + product.website);
    QCOMPARE(url.path(), QStringLiteral("/extras/GetExternalIP.asp"));
    QVERIFY(!url.hasQuery());
    qputenv("VISTREL_ADDRESS_URL", "http://127.0.0.1:8080/extras/GetExternalIP.asp");
    QCOMPARE(addressSourcesFromEnvironment(), QStringList{QStringLiteral("http://127.0.0.1:8080/extras/GetExternalIP.asp")});
    qunsetenv("VISTREL_ADDRESS_URL");
}

QTEST_GUILESS_MAIN(TestAddressService)
#include "tst_addressservice.moc"
