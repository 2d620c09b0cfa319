// CryptoCls: MD5, the two RC4 streams, the derived key material and the master-key encryption,
// against known answers and against decryption with the test's own private key.
#include "TestKeys.h"
#include "secure/CryptoCls.h"
#include "secure/SSLv2.h"

#include <QtTest>

namespace {
// Inputs of the key-material answers below, which were computed with Python's hashlib and a
// plain RC4: master-key bytes 00..1F, challenge 10..1F, connection-id A0..AF.
const QByteArray RawMaster = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const QByteArray Challenge = QByteArray::fromHex("101112131415161718191a1b1c1d1e1f");
const QByteArray ConnectionId = QByteArray::fromHex("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");
} // namespace

class TestCryptoCls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void md5_data();
    void md5();
    void keyMaterial();
    void rc4StreamsContinueAcrossCalls();
    void recordMac_data();
    void recordMac();
    void masterKeyDecryptsWithThePrivateKey();
    void randomBytes();
    void providerMissingFailsQuietly();

private:
    bool exportKnownKeys(CryptoCls* crypto, QByteArray* master, QByteArray* read, QByteArray* write,
                         QByteArray* encrypted);
    EVP_PKEY* m_key = nullptr;
};

void TestCryptoCls::initTestCase()
{
    m_key = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t(1024));
    QVERIFY(m_key);
}

void TestCryptoCls::cleanupTestCase()
{
    EVP_PKEY_free(m_key);
}

bool TestCryptoCls::exportKnownKeys(CryptoCls* crypto, QByteArray* master, QByteArray* read, QByteArray* write,
                                    QByteArray* encrypted)
{
    *master = RawMaster;
    QString error;
    const bool ok = crypto->ExportKeyBlob(master, read, write, Challenge, ConnectionId, testkeys::modulus(m_key), encrypted,
                                          &error);
    if (!ok)
        qWarning() << error;
    return ok;
}

void TestCryptoCls::md5_data()
{
    // RFC 1321, appendix A.5.
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("digest");
    QTest::newRow("empty") << QByteArray() << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("a") << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("message digest") << QByteArray("message digest") << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
    QTest::newRow("binary with zero bytes") << QByteArray("\0\x01\xff", 3) << testkeys::md5(QByteArray("\0\x01\xff", 3)).toHex();
}

void TestCryptoCls::md5()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, digest);
    CryptoCls crypto;
    QCOMPARE(crypto.MD5_Hash(input).toHex(), digest);
}

void TestCryptoCls::keyMaterial()
{
    CryptoCls crypto;
    QByteArray master, read, write, encrypted;
    QVERIFY(exportKnownKeys(&crypto, &master, &read, &write, &encrypted));
    // MASTER-KEY = MD5(random); KEY-MATERIAL-0 (client read) uses "0", KEY-MATERIAL-1 (client write) "1".
    QCOMPARE(master.toHex(), QByteArray("b4ffcb23737cec315a4a4d1aa2a620ce"));
    QCOMPARE(read.toHex(), QByteArray("1f8f72cb6d04559d0c5f5122fcb778ce"));
    QCOMPARE(write.toHex(), QByteArray("0a791aac6e29805522f59084323b337e"));
    // The RC4 keys are exactly those digests.
    QCOMPARE(crypto.RC4_Encrypt("abc").toHex(), QByteArray("90e572"));
    QCOMPARE(crypto.RC4_Decrypt(QByteArray(32, '\0')).toHex(),
             QByteArray("1b091cfd905a08c764e3b7e7f6cccca0bc2a9c922a16ea88aae6e26e55e452bb"));
}

void TestCryptoCls::rc4StreamsContinueAcrossCalls()
{
    CryptoCls whole, pieces;
    QByteArray master, read, write, encrypted;
    QVERIFY(exportKnownKeys(&whole, &master, &read, &write, &encrypted));
    QVERIFY(exportKnownKeys(&pieces, &master, &read, &write, &encrypted));
    const QByteArray text = "MAIL FROM:<ip@example.test>\r\nRCPT TO:<owner@example.test>\r\n";
    QByteArray inPieces = pieces.RC4_Encrypt(text.left(2));
    inPieces += pieces.RC4_Encrypt(text.mid(2, 1));
    inPieces += pieces.RC4_Encrypt(text.mid(3));
    QCOMPARE(inPieces, whole.RC4_Encrypt(text));
    // Each direction is a stream of its own: encrypting did not move the read stream.
    QCOMPARE(pieces.RC4_Decrypt(QByteArray(32, '\0')).toHex(),
             QByteArray("1b091cfd905a08c764e3b7e7f6cccca0bc2a9c922a16ea88aae6e26e55e452bb"));
    // And the plain RC4 of the tests agrees over a longer stretch.
    testkeys::Rc4 reference(write);
    CryptoCls fresh;
    QVERIFY(exportKnownKeys(&fresh, &master, &read, &write, &encrypted));
    const QByteArray long1(5000, 'x');
    QCOMPARE(fresh.RC4_Encrypt(long1), reference.crypt(long1));
}

void TestCryptoCls::recordMac_data()
{
    // MD5(CLIENT-WRITE-KEY + "EHLO host\r\n" + sequence, big-endian), from Python's hashlib.
    QTest::addColumn<quint32>("sequence");
    QTest::addColumn<QByteArray>("mac");
    QTest::newRow("0: CLIENT-HELLO's number") << 0u << QByteArray("4b31a10b8ef41747db99de8379075ca8");
    QTest::newRow("2: CLIENT-FINISHED's number") << 2u << QByteArray("04e11666253936b1a05224b328204327");
    QTest::newRow("3: the first command's number") << 3u << QByteArray("d73ad4abc77b2c9ac2c932f8a46549bc");
    QTest::newRow("4294967295: the last before wrapping") << 0xFFFFFFFFu << QByteArray("5cab6286ef6f5ad6a01a8c4f9ff97f04");
}

void TestCryptoCls::recordMac()
{
    QFETCH(quint32, sequence);
    QFETCH(QByteArray, mac);
    CryptoCls crypto;
    QCOMPARE(SSLv2::recordMac(crypto, QByteArray::fromHex("0a791aac6e29805522f59084323b337e"), "EHLO host\r\n", sequence)
                 .toHex(),
             mac);
}

void TestCryptoCls::masterKeyDecryptsWithThePrivateKey()
{
    CryptoCls crypto;
    QByteArray master, read, write, first, second;
    QVERIFY(exportKnownKeys(&crypto, &master, &read, &write, &first));
    QCOMPARE(first.size(), 128);
    QCOMPARE(testkeys::rsaDecrypt(m_key, first), master);
    QCOMPARE(testkeys::md5(RawMaster), master);
    // Random padding: the same key encrypts differently each time, and still decrypts.
    QVERIFY(exportKnownKeys(&crypto, &master, &read, &write, &second));
    QVERIFY(first != second);
    QCOMPARE(testkeys::rsaDecrypt(m_key, second), master);
}

void TestCryptoCls::randomBytes()
{
    CryptoCls crypto;
    QByteArray none = "left over", a, b;
    QVERIFY(crypto.GenerateRandomBytes(0, &none));
    QVERIFY(none.isEmpty());
    QVERIFY(crypto.GenerateRandomBytes(32, &a));
    QVERIFY(crypto.GenerateRandomBytes(32, &b));
    QCOMPARE(a.size(), 32);
    QVERIFY(a != b);
}

void TestCryptoCls::providerMissingFailsQuietly()
{
    auto noLegacy = std::make_unique<testkeys::NoLegacyProvider>();
    CryptoCls crypto;
    noLegacy.reset();
    QVERIFY(!crypto.available());
    QVERIFY(crypto.loadError().contains(QLatin1String("legacy")));
    QByteArray buffer = "x", master = RawMaster, read, write, encrypted;
    QVERIFY(!crypto.GenerateRandomBytes(16, &buffer));
    QVERIFY(buffer.isEmpty());
    QCOMPARE(crypto.MD5_Hash("abc"), QByteArray());
    QCOMPARE(crypto.RC4_Encrypt("abc"), QByteArray("abc"));
    QString error;
    QVERIFY(!crypto.ExportKeyBlob(&master, &read, &write, Challenge, ConnectionId, testkeys::modulus(m_key), &encrypted, &error));
    QVERIFY(encrypted.isEmpty());
    // A new instance afterwards loads the providers again.
    QVERIFY(CryptoCls().available());
}

QTEST_GUILESS_MAIN(TestCryptoCls)
#include "tst_cryptocls.moc"
