// The Base64 encoder: known answers and the line breaking.
#include "notify/Module6464.h"

#include <QtTest>

class TestBase64 : public QObject
{
    Q_OBJECT
private slots:
    void knownAnswers_data();
    void knownAnswers();
    void lineBreaking_data();
    void lineBreaking();
    void everyByteValueRoundTrips();
};

void TestBase64::knownAnswers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    // RFC 4648 section 10.
    QTest::newRow("rfc4648 empty") << "" << "";
    QTest::newRow("rfc4648 f") << "f" << "Zg==";
    QTest::newRow("rfc4648 fo") << "fo" << "Zm8=";
    QTest::newRow("rfc4648 foo") << "foo" << "Zm9v";
    QTest::newRow("rfc4648 foob") << "foob" << "Zm9vYg==";
    QTest::newRow("rfc4648 fooba") << "fooba" << "Zm9vYmE=";
    QTest::newRow("rfc4648 foobar") << "foobar" << "Zm9vYmFy";
    // The UTF-8 bytes are encoded: U+00FC is C3 BC, U+20AC is E2 82 AC.
    QTest::newRow("utf-8 two bytes") << QStringLiteral("\u00fc") << "w7w=";
    QTest::newRow("utf-8 three bytes") << QStringLiteral("\u20ac") << "4oKs";
    QTest::newRow("user name") << "alice@example.org" << "YWxpY2VAZXhhbXBsZS5vcmc=";
    QTest::newRow("last sextets use + and /") << QStringLiteral("\u00fb\u00ff") << "w7vDvw==";
}

void TestBase64::knownAnswers()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Base64Encode(text, 0), expected);
}

void TestBase64::lineBreaking_data()
{
    QTest::addColumn<QByteArray>("octets");
    QTest::addColumn<int>("lineLength");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0 never breaks") << QByteArray(300, 'x') << 0 << QByteArray(300, 'x').toBase64();
    QTest::newRow("negative never breaks") << QByteArray(60, 'x') << -5 << QByteArray(60, 'x').toBase64();
    QTest::newRow("4 on eight characters") << QByteArray("foobar") << 4 << QByteArray("Zm9v\r\nYmFy");
    QTest::newRow("7 on eight: last line of one stays") << QByteArray("foobar") << 7 << QByteArray("Zm9vYmFy");
    QTest::newRow("8 on eight: no trailing break") << QByteArray("foobar") << 8 << QByteArray("Zm9vYmFy");
    QTest::newRow("3 on eight") << QByteArray("foobar") << 3 << QByteArray("Zm9\r\nvYm\r\nFy");
    QTest::newRow("1 on four: last pair together") << QByteArray("f") << 1 << QByteArray("Z\r\ng\r\n==");
    QTest::newRow("3 on four: last one stays") << QByteArray("f") << 3 << QByteArray("Zg==");
    QTest::newRow("76 on long text") << QByteArray(114, 'a') << 76
                                     << QByteArray(114, 'a').toBase64().insert(76, "\r\n");
}

void TestBase64::lineBreaking()
{
    QFETCH(QByteArray, octets);
    QFETCH(int, lineLength);
    QFETCH(QByteArray, expected);
    QCOMPARE(Base64EncodeBytes(octets, lineLength), expected);
}

void TestBase64::everyByteValueRoundTrips()
{
    // Every length 0..258 over every byte value decodes back, unbroken and broken at 10.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    all += all.left(2);
    for (int length = 0; length <= all.size(); ++length) {
        const QByteArray octets = all.left(length);
        QCOMPARE(QByteArray::fromBase64(Base64EncodeBytes(octets, 0)), octets);
        const QByteArray broken = Base64EncodeBytes(octets, 10);
        QVERIFY(!broken.endsWith("\r\n"));
        QCOMPARE(QByteArray::fromBase64(QByteArray(broken).replace("\r\n", "")), octets);
    }
}

QTEST_GUILESS_MAIN(TestBase64)
#include "tst_base64.moc"
