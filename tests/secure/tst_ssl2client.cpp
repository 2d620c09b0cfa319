// The SSL 2.0 client without a socket: record framing, the SERVER-HELLO reader and the certificate
// search on certificates made by openssl, the handshake message bytes, sequence numbers and record
// sizes, and bad or cut input. The server side of these cases is computed here with Qt's MD5 and
// a few lines of RC4, and the master key is recovered with the test's private key.
#include "TestKeys.h"
#include "secure/SSLv2.h"
#include "secure/Ssl2RecordReader.h"
#include "secure/Ssl2ServerHello.h"

#include <QTemporaryDir>
#include <QtTest>

using testkeys::md5;

namespace {
QByteArray u16(int v)
{
    return QByteArray(1, char(v >> 8)) + char(v & 0xFF);
}

QByteArray serverHelloBody(const QByteArray& certificate, const QByteArray& connectionId)
{
    return QByteArray::fromHex("04000100 02") + u16(int(certificate.size())) + u16(3) + u16(int(connectionId.size())) +
           certificate + QByteArray::fromHex("010080") + connectionId;
}

QList<QByteArray> splitRecords(const QByteArray& stream)
{
    Ssl2RecordReader reader;
    reader.append(stream);
    QList<QByteArray> out;
    QByteArray body;
    while (reader.next(&body) == Ssl2RecordReader::Result::Record)
        out << body;
    return out;
}

/// The server's half of one session, as far as these tests need it.
struct ServerSide
{
    QByteArray challenge, connectionId, masterKey, readKey, writeKey; // keys named from the client's side
    std::unique_ptr<testkeys::Rc4> toClient, fromClient;
    quint32 sent = 0, got = 0;

    void keysFrom(const QByteArray& clientMasterKeyBody, EVP_PKEY* key)
    {
        masterKey = testkeys::rsaDecrypt(key, clientMasterKeyBody.mid(10, 128));
        readKey = md5(masterKey + '0' + challenge + connectionId);
        writeKey = md5(masterKey + '1' + challenge + connectionId);
        toClient = std::make_unique<testkeys::Rc4>(readKey);
        fromClient = std::make_unique<testkeys::Rc4>(writeKey);
    }
    QByteArray record(const QByteArray& data, bool badMac = false)
    {
        QByteArray mac = md5(readKey + data + SSLv2::sequenceBytes(sent++));
        if (badMac)
            mac[0] = char(mac.at(0) ^ 1);
        return Ssl2RecordReader::AddRecordHeader(toClient->crypt(mac + data));
    }
    /// Opens a record from the client; empty with @p ok false when its MAC is wrong.
    QByteArray open(const QByteArray& body, quint32 sequence, bool* ok)
    {
        const QByteArray plain = fromClient->crypt(body);
        *ok = plain.left(16) == md5(writeKey + plain.mid(16) + SSLv2::sequenceBytes(sequence));
        return plain.mid(16);
    }
};
} // namespace

class TestSsl2Client : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void recordLength_data();
    void recordLength();
    void recordsSplitAtEveryBoundary();
    void threeByteHeaderIsRefused();
    void serverHelloReader_data();
    void serverHelloReader();
    void modulusFromCertificate_data();
    void modulusFromCertificate();
    void clientHelloBytes();
    void serverHelloSplitAtEveryBoundary();
    void badServerHello_data();
    void badServerHello();
    void serverVerifyChecks_data();
    void serverVerifyChecks();
    void finishedAndDataInOneArrival();
    void sequenceNumbers();
    void dataRecordWithBadMacOrTooShort_data();
    void dataRecordWithBadMacOrTooShort();

private:
    /// A client that has sent CLIENT-HELLO and a server that knows its challenge.
    std::unique_ptr<SSLv2> startClient(QList<QByteArray>* wire, ServerSide* server);
    /// Runs the handshake up to @p until (AwaitServerVerify or Established).
    std::unique_ptr<SSLv2> handshake(QList<QByteArray>* wire, ServerSide* server, SSLv2::State until);

    QTemporaryDir m_dir;
    QByteArray m_certificate;
    EVP_PKEY* m_key = nullptr;
};

void TestSsl2Client::initTestCase()
{
    m_certificate = testkeys::makeCertificate(m_dir.path(), "server1024", 1024);
    QVERIFY(!m_certificate.isEmpty());
    m_key = testkeys::readPrivateKey(m_dir.path() + "/server1024.key");
    QVERIFY(m_key);
}

void TestSsl2Client::cleanupTestCase()
{
    EVP_PKEY_free(m_key);
}

void TestSsl2Client::recordLength_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("length");
    QTest::newRow("80 1C") << 0x80 << 0x1C << 28;
    QTest::newRow("81 00") << 0x81 << 0x00 << 256;
    QTest::newRow("FF FF") << 0xFF << 0xFF << 32767;
    QTest::newRow("80 00") << 0x80 << 0x00 << 0;
}

void TestSsl2Client::recordLength()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, length);
    QCOMPARE(Ssl2RecordReader::GetRecordLength(uchar(first), uchar(second)), length);
    const QByteArray record = Ssl2RecordReader::AddRecordHeader(QByteArray(length, 'r'));
    QCOMPARE(uchar(record.at(0)), uchar(first));
    QCOMPARE(uchar(record.at(1)), uchar(second));
}

void TestSsl2Client::recordsSplitAtEveryBoundary()
{
    const QList<QByteArray> bodies{QByteArray("hello"), QByteArray(300, 'x'), QByteArray(), QByteArray("z")};
    QByteArray stream;
    for (const auto& b : bodies)
        stream += Ssl2RecordReader::AddRecordHeader(b);
    for (int cut = 0; cut <= stream.size(); ++cut) {
        Ssl2RecordReader reader;
        QList<QByteArray> got;
        QByteArray body;
        for (const QByteArray& part : {stream.left(cut), stream.mid(cut)}) {
            reader.append(part);
            while (reader.next(&body) == Ssl2RecordReader::Result::Record)
                got << body;
        }
        QCOMPARE(got, bodies);
        QCOMPARE(reader.buffered(), 0);
    }
    // One byte at a time: nothing comes out before a record is whole.
    Ssl2RecordReader reader;
    QList<QByteArray> got;
    QByteArray body;
    for (char c : stream) {
        reader.append(QByteArray(1, c));
        while (reader.next(&body) == Ssl2RecordReader::Result::Record)
            got << body;
    }
    QCOMPARE(got, bodies);
}

void TestSsl2Client::threeByteHeaderIsRefused()
{
    Ssl2RecordReader reader;
    reader.append(QByteArray::fromHex("001c00") + QByteArray(28, 'p'));
    QByteArray body;
    QCOMPARE(reader.next(&body), Ssl2RecordReader::Result::Malformed);
}

void TestSsl2Client::serverHelloReader_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    const QByteArray cert(40, 'c'), cid(16, 'i');
    const QByteArray good = serverHelloBody(cert, cid);
    QTest::newRow("well formed") << good << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("fixed fields cut") << good.left(10) << false;
    QTest::newRow("certificate runs past the end") << good.left(11 + 30) << false;
    QTest::newRow("connection-id runs past the end") << good.left(good.size() - 1) << false;
    QTest::newRow("bytes after the connection-id") << good + "x" << false;
    QByteArray huge = good;
    huge[5] = char(0xFF);
    huge[6] = char(0xFF);
    QTest::newRow("certificate length 65535") << huge << false;
    QTest::newRow("nothing but lengths of zero") << serverHelloBody({}, {}).replace(11, 3, {}).replace(7, 2, u16(0))
                                                 << true;
}

void TestSsl2Client::serverHelloReader()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    Ssl2ServerHello hello;
    QString error;
    QCOMPARE(Ssl2ServerHello::parse(body, &hello, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (ok && body.size() > 11) {
        QCOMPARE(hello.certificate, QByteArray(40, 'c'));
        QCOMPARE(hello.connectionId, QByteArray(16, 'i'));
    }
}

void TestSsl2Client::modulusFromCertificate_data()
{
    QTest::addColumn<QByteArray>("certificate");
    QTest::addColumn<bool>("ok");
    QTest::newRow("1024-bit key, exponent 65537") << m_certificate << true;
    QTest::newRow("2048-bit key") << testkeys::makeCertificate(m_dir.path(), "server2048", 2048) << false;
    QTest::newRow("1024-bit key, exponent 3") << testkeys::makeCertificate(m_dir.path(), "exponent3", 1024, "3")
                                              << false;
    const qsizetype at = m_certificate.indexOf(QByteArray::fromHex("30818902818100"));
    QTest::newRow("cut inside the modulus") << m_certificate.left(at + 7 + 100) << false;
    QTest::newRow("cut right after the opening") << m_certificate.left(at + 7) << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestSsl2Client::modulusFromCertificate()
{
    QFETCH(QByteArray, certificate);
    QFETCH(bool, ok);
    QVERIFY(!certificate.isEmpty() || QByteArray(QTest::currentDataTag()) == "empty");
    QByteArray modulus;
    QString error;
    QCOMPARE(Ssl2ServerHello::modulusFromCertificate(certificate, &modulus, &error), ok);
    if (ok)
        QCOMPARE(modulus, testkeys::modulus(m_key));
}

std::unique_ptr<SSLv2> TestSsl2Client::startClient(QList<QByteArray>* wire, ServerSide* server)
{
    auto client = std::make_unique<SSLv2>([wire](const QByteArray& bytes) { *wire << bytes; });
    QString error;
    if (!client->SendClientHello(std::make_unique<CryptoCls>(), &error))
        return nullptr;
    server->challenge = client->challenge();
    server->connectionId = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    return client;
}

std::unique_ptr<SSLv2> TestSsl2Client::handshake(QList<QByteArray>* wire, ServerSide* server, SSLv2::State until)
{
    auto client = startClient(wire, server);
    if (!client)
        return nullptr;
    client->receive(Ssl2RecordReader::AddRecordHeader(serverHelloBody(m_certificate, server->connectionId)));
    if (wire->size() != 2)
        return nullptr;
    server->keysFrom(splitRecords(wire->at(1)).value(0), m_key);
    server->sent = 1;
    if (until == SSLv2::State::AwaitServerVerify)
        return client;
    client->receive(server->record(char(0x05) + server->challenge));
    client->receive(server->record(char(0x06) + QByteArray(16, 's')));
    return client->state() == until ? std::move(client) : nullptr;
}

void TestSsl2Client::clientHelloBytes()
{
    QList<QByteArray> wire;
    ServerSide server;
    auto client = startClient(&wire, &server);
    QVERIFY(client);
    QCOMPARE(wire.size(), 1);
    QCOMPARE(wire.first().size(), 30);
    QCOMPARE(wire.first().left(14).toHex(), QByteArray("801c0100020003000000100100") + "80");
    QCOMPARE(wire.first().mid(14), client->challenge());
    QCOMPARE(client->challenge().size(), 16);
    QCOMPARE(client->clientSequence(), 1u);
    QCOMPARE(client->state(), SSLv2::State::AwaitServerHello);
}

void TestSsl2Client::serverHelloSplitAtEveryBoundary()
{
    ServerSide server;
    server.connectionId = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    const QByteArray record = Ssl2RecordReader::AddRecordHeader(serverHelloBody(m_certificate, server.connectionId));
    for (int cut = 0; cut < record.size(); ++cut) {
        QList<QByteArray> wire;
        auto client = startClient(&wire, &server);
        QVERIFY(client);
        const SSLv2::Outcome first = client->receive(record.left(cut));
        QCOMPARE(wire.size(), 1); // nothing happens while the record is incomplete
        QVERIFY(first.error.isEmpty());
        const SSLv2::Outcome second = client->receive(record.mid(cut));
        QVERIFY2(second.error.isEmpty(), qPrintable(second.error));
        QCOMPARE(wire.size(), 2);
        QCOMPARE(client->state(), SSLv2::State::AwaitServerVerify);
        if (cut % 97 != 0)
            continue; // the full check of CLIENT-MASTER-KEY on a sample of the cuts
        const QByteArray masterKeyRecord = wire.at(1);
        QCOMPARE(masterKeyRecord.size(), 140);
        QCOMPARE(masterKeyRecord.left(12).toHex(), QByteArray("808a02010080000000800000"));
        server.challenge = client->challenge();
        server.keysFrom(masterKeyRecord.mid(2), m_key);
        QCOMPARE(server.masterKey, client->masterKey());
        QCOMPARE(server.readKey, client->readKey());
        QCOMPARE(server.writeKey, client->writeKey());
        QCOMPARE(client->clientSequence(), 2u);
        QCOMPARE(client->serverSequence(), 1u); // SERVER-HELLO counted as 0
    }
}

void TestSsl2Client::badServerHello_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QByteArray cid(16, 'i');
    QTest::newRow("record shorter than its fields")
        << Ssl2RecordReader::AddRecordHeader(QByteArray::fromHex("0400010002")) << SSLv2::MessageError;
    QByteArray longer = serverHelloBody(m_certificate, cid);
    longer[6] = char(longer.at(6) + 40);
    QTest::newRow("certificate length past the record") << Ssl2RecordReader::AddRecordHeader(longer)
                                                        << SSLv2::MessageError;
    QTest::newRow("certificate without the modulus")
        << Ssl2RecordReader::AddRecordHeader(serverHelloBody(QByteArray(300, '\x30'), cid)) << SSLv2::CertificateError;
    QTest::newRow("empty record") << QByteArray::fromHex("8000") << SSLv2::MessageError;
    QTest::newRow("three-byte header") << QByteArray::fromHex("000500") + QByteArray(5, 'x') << SSLv2::MessageError;
}

void TestSsl2Client::badServerHello()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QList<QByteArray> wire;
    ServerSide server;
    auto client = startClient(&wire, &server);
    QVERIFY(client);
    QCOMPARE(client->receive(bytes).error, error);
    QCOMPARE(client->state(), SSLv2::State::Aborted);
    // Nothing is sent or decoded any more in this session.
    const SSLv2::Outcome after =
        client->receive(Ssl2RecordReader::AddRecordHeader(serverHelloBody(m_certificate, QByteArray(16, 'i'))));
    QVERIFY(after.error.isEmpty() && after.data.isEmpty() && !after.established);
    client->SendSecureData("QUIT\r\n");
    QCOMPARE(wire.size(), 1);
}

void TestSsl2Client::serverVerifyChecks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("good") << "good" << QString();
    QTest::newRow("wrong challenge") << "challenge" << SSLv2::ChallengeError;
    QTest::newRow("wrong MAC") << "mac" << SSLv2::MacError;
    QTest::newRow("too short for MAC, type and challenge") << "short" << SSLv2::MessageError;
}

void TestSsl2Client::serverVerifyChecks()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QList<QByteArray> wire;
    ServerSide server;
    auto client = handshake(&wire, &server, SSLv2::State::AwaitServerVerify);
    QVERIFY(client);
    QByteArray challenge = server.challenge;
    if (kind == "challenge")
        challenge[15] = char(challenge.at(15) ^ 0x40);
    QByteArray record = server.record(char(0x05) + challenge, kind == "mac");
    if (kind == "short")
        record = Ssl2RecordReader::AddRecordHeader(QByteArray(32, 'v'));
    const SSLv2::Outcome outcome = client->receive(record);
    QCOMPARE(outcome.error, error);
    if (!error.isEmpty()) {
        QCOMPARE(wire.size(), 2); // no CLIENT-FINISHED
        QCOMPARE(client->state(), SSLv2::State::Aborted);
        return;
    }
    // CLIENT-FINISHED: encrypted 0x03 + connection-id, the third record, MAC'd with number 2.
    QCOMPARE(wire.size(), 3);
    bool macOk = false;
    QCOMPARE(server.open(splitRecords(wire.at(2)).value(0), 2, &macOk), char(0x03) + server.connectionId);
    QVERIFY(macOk);
    QCOMPARE(client->state(), SSLv2::State::AwaitServerFinished);
}

void TestSsl2Client::finishedAndDataInOneArrival()
{
    QList<QByteArray> wire;
    ServerSide server;
    auto client = handshake(&wire, &server, SSLv2::State::AwaitServerVerify);
    QVERIFY(client);
    client->receive(server.record(char(0x05) + server.challenge));
    // SERVER-FINISHED, a greeting, and half of a second reply arrive together.
    QByteArray arrival = server.record(char(0x06) + QByteArray(16, 's'));
    arrival += server.record("220 ready\r\n");
    const QByteArray second = server.record("250 second\r\n");
    const SSLv2::Outcome outcome = client->receive(arrival + second.left(5));
    QVERIFY(outcome.error.isEmpty());
    QVERIFY(outcome.established);
    QCOMPARE(outcome.data, QByteArray("220 ready\r\n"));
    QCOMPARE(client->state(), SSLv2::State::Established);
    // The rest of the straddling record completes the second reply.
    const SSLv2::Outcome rest = client->receive(second.mid(5));
    QVERIFY(!rest.established);
    QCOMPARE(rest.data, QByteArray("250 second\r\n"));
    QCOMPARE(client->serverSequence(), 5u);
}

void TestSsl2Client::sequenceNumbers()
{
    QList<QByteArray> wire;
    ServerSide server;
    auto client = handshake(&wire, &server, SSLv2::State::Established);
    QVERIFY(client);
    QCOMPARE(client->clientSequence(), 3u); // CLIENT-HELLO 0, CLIENT-MASTER-KEY 1, CLIENT-FINISHED 2
    bool macOk = false;
    server.open(splitRecords(wire.at(2)).value(0), 2, &macOk);
    QVERIFY(macOk);

    // Record sizes at the 32767-byte limit are checked against the real server in tst_securemailtransport.
    client->SendSecureData("EHLO host\r\n");
    QCOMPARE(server.open(splitRecords(wire.at(3)).value(0), 3, &macOk), QByteArray("EHLO host\r\n"));
    QVERIFY(macOk);

    // The counter wraps from 4294967295 to 0.
    client->setSequences(0xFFFFFFFFu, client->serverSequence());
    client->SendSecureData("NOOP\r\n");
    client->SendSecureData("QUIT\r\n");
    QCOMPARE(client->clientSequence(), 1u);
    QCOMPARE(server.open(splitRecords(wire.at(4)).value(0), 0xFFFFFFFFu, &macOk), QByteArray("NOOP\r\n"));
    QVERIFY(macOk);
    QCOMPARE(server.open(splitRecords(wire.at(5)).value(0), 0u, &macOk), QByteArray("QUIT\r\n"));
    QVERIFY(macOk);
}

void TestSsl2Client::dataRecordWithBadMacOrTooShort_data()
{
    QTest::addColumn<bool>("tooShort");
    QTest::addColumn<QString>("error");
    QTest::newRow("wrong MAC") << false << SSLv2::DataMacError;
    QTest::newRow("shorter than a MAC") << true << SSLv2::MessageError;
}

void TestSsl2Client::dataRecordWithBadMacOrTooShort()
{
    QFETCH(bool, tooShort);
    QFETCH(QString, error);
    QList<QByteArray> wire;
    ServerSide server;
    auto client = handshake(&wire, &server, SSLv2::State::Established);
    QVERIFY(client);
    const QByteArray good = server.record("220 fine\r\n");
    const QByteArray bad = tooShort ? Ssl2RecordReader::AddRecordHeader(QByteArray(15, 'm'))
                                    : server.record("250 forged\r\n", true);
    // A good record before the bad one in the same arrival is discarded with it.
    const SSLv2::Outcome outcome = client->receive(good + bad);
    QCOMPARE(outcome.error, error);
    QCOMPARE(outcome.data, QByteArray());
    QCOMPARE(client->state(), SSLv2::State::Aborted);
}

QTEST_GUILESS_MAIN(TestSsl2Client)
#include "tst_ssl2client.moc"
