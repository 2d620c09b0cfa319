// The secure mail transport against scapy's SSL 2.0 server (tests/peers/ssl2_smtp_peer.py), which
// relays the channel's content to aiosmtpd: whole mail dialogues, the bytes on the wire recomputed
// independently, and every way a server can misbehave during the handshake and after it.
#include "RecordingMessageBox.h"
#include "SmtpDialogue.h"
#include "TestKeys.h"
#include "Ssl2SmtpPeer.h"
#include "secure/SecureMailTransport.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray mailText(int totalWithEnd)
{
    // Lines of 76 characters; the last one is cut so that text + ".\r\n" is totalWithEnd bytes.
    QByteArray text = "Subject: address change\r\n\r\n";
    const int body = totalWithEnd - 3;
    while (text.size() < body) {
        QByteArray line(76, 'a' + char(text.size() % 26));
        line += "\r\n";
        text += line;
    }
    text.truncate(body - 2);
    for (qsizetype i = text.size() - 1; i >= 0 && (text[i] == '\r' || text[i] == '\n'); --i)
        text[i] = 'x'; // no line end cut in two
    text += "\r\n";
    return text;
}

QByteArray md5Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

QString field(const QString& line, const QString& key)
{
    const QStringList words = line.split(QLatin1Char(' '));
    const auto at = words.indexOf(key);
    return at >= 0 && at + 1 < words.size() ? words.at(at + 1) : QString();
}
} // namespace

class TestSecureMailTransport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void wholeMailThroughTheChannel_data();
    void wholeMailThroughTheChannel();
    void handshakeFailures_data();
    void handshakeFailures();
    void serverClosesAfterHandshake();
    void repliesAndRecordsDoNotAlign_data();
    void repliesAndRecordsDoNotAlign();
    void nextSessionAfterAFailureStartsClean();
    void refusedConnection();
    void providerMissing();

private:
    struct Run
    {
        QStringList statuses;
        RecordingMessageBox boxes;
        std::unique_ptr<SecureMailTransport> transport;
    };
    std::unique_ptr<Run> makeRun();

    Ssl2SmtpPeer m_peer;
};

std::unique_ptr<TestSecureMailTransport::Run> TestSecureMailTransport::makeRun()
{
    auto run = std::make_unique<Run>();
    QStringList* statuses = &run->statuses;
    run->transport = std::make_unique<SecureMailTransport>([statuses](const QString& s) { *statuses << s; },
                                                           &run->boxes);
    return run;
}

void TestSecureMailTransport::initTestCase()
{
    QString error;
    QVERIFY2(m_peer.start(&error), qPrintable(error));
}

void TestSecureMailTransport::init()
{
    m_peer.discardLines();
}

void TestSecureMailTransport::wholeMailThroughTheChannel_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<bool>("auth");
    QTest::addColumn<int>("messageBytes"); // message text with its end-of-data line, sent in one piece
    QTest::addColumn<QString>("dataBodies"); // record bodies of that piece and of QUIT, when checked

    QTest::newRow("with AUTH LOGIN") << "normal" << true << 400 << "";
    QTest::newRow("every server byte in a write of its own") << "trickle" << true << 300 << "";
    QTest::newRow("every reply over two records") << "split_replies" << true << 300 << "";
    // 32751 data bytes fill one record of 32767 bytes; one more byte makes a second record.
    QTest::newRow("32751 data bytes: one record") << "normal" << false << 32751 << "32767,22";
    QTest::newRow("32752 data bytes: two records") << "normal" << false << 32752 << "32767,17,22";
}

void TestSecureMailTransport::wholeMailThroughTheChannel()
{
    QFETCH(QString, behaviour);
    QFETCH(bool, auth);
    QFETCH(int, messageBytes);
    QFETCH(QString, dataBodies);

    auto run = makeRun();
    SmtpDialogue::Options options;
    options.auth = auth;
    options.message = mailText(messageBytes);
    QCOMPARE(options.message.size() + 3, messageBytes);
    SmtpDialogue dialogue(run->transport.get(), options);
    QSignalSpy connected(run->transport.get(), &MailTransport::connected);

    run->transport->connectTo(QStringLiteral("127.0.0.1"), m_peer.port(behaviour));
    QTRY_VERIFY_WITH_TIMEOUT(dialogue.done(), 20000);
    QVERIFY2(dialogue.failure().isEmpty(), qPrintable(dialogue.failure()));
    QCOMPARE(connected.count(), 1);
    QCOMPARE(run->statuses, (QStringList{"Creating Secure Session", "Secure Session Connected"}));
    QCOMPARE(run->boxes.shown, QStringList());
    QCOMPARE(run->transport->state(), 0);

    // The mail as aiosmtpd received it.
    const QString mail = m_peer.takeLine(QStringLiteral("MAIL "));
    QVERIFY2(!mail.isEmpty(), qPrintable(m_peer.lines().join('\n')));
    const QStringList words = mail.split(QLatin1Char(' '));
    QCOMPARE(words.at(1), QStringLiteral("ip@example.test"));
    QCOMPARE(words.at(2), QStringLiteral("owner@example.test"));
    QCOMPARE(words.at(3), auth ? QStringLiteral("vistrel") : QStringLiteral("-"));
    QCOMPARE(QByteArray::fromBase64(words.at(4).toLatin1()), options.message);

    // The whole session recomputed from the wire with hashlib and a plain RC4: keys, MACs with
    // their sequence numbers (CLIENT-FINISHED 2, first command 3), and both data streams.
    const QString check = m_peer.takeLine(QStringLiteral("CROSSCHECK"));
    QVERIFY2(check.startsWith(QLatin1String("CROSSCHECK OK")), qPrintable(check));
    QCOMPARE(field(check, "master_key_len"), QStringLiteral("16"));
    QCOMPARE(field(check, "client_data_md5").toLatin1(), md5Hex(dialogue.sent()));
    QCOMPARE(field(check, "server_data_md5").toLatin1(), md5Hex(dialogue.received()));
    const QStringList bodies = field(check, "client_bodies").split(QLatin1Char(','));
    // CLIENT-HELLO 28, CLIENT-MASTER-KEY 138, CLIENT-FINISHED 16 + 1 + 16.
    QCOMPARE(bodies.mid(0, 3), (QStringList{"28", "138", "33"}));
    if (!dataBodies.isEmpty())
        QCOMPARE(bodies.mid(bodies.size() - dataBodies.count(',') - 1).join(','), dataBodies);
    QCOMPARE(m_peer.lines().filter(QStringLiteral("FAIL")), QStringList());
}

void TestSecureMailTransport::handshakeFailures_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<QString>("message"); // empty: no message box, the socket just ends
    QTest::addColumn<bool>("established");

    QTest::newRow("wrong challenge in SERVER-VERIFY") << "bad_challenge" << SSLv2::ChallengeError << false;
    QTest::newRow("wrong MAC in SERVER-VERIFY") << "bad_verify_mac" << SSLv2::MacError << false;
    QTest::newRow("wrong MAC in SERVER-FINISHED") << "bad_finished_mac" << SSLv2::MacError << false;
    QTest::newRow("wrong MAC in application data") << "bad_data_mac" << SSLv2::DataMacError << true;
    QTest::newRow("certificate without a 1024-bit key") << "no_modulus" << SSLv2::CertificateError << false;
    QTest::newRow("SERVER-HELLO shorter than its fields") << "short_hello" << SSLv2::MessageError << false;
    QTest::newRow("close after CLIENT-HELLO") << "close_hello" << QString() << false;
    QTest::newRow("close after CLIENT-MASTER-KEY") << "close_master_key" << QString() << false;
    QTest::newRow("close after CLIENT-FINISHED") << "close_finished" << QString() << false;
}

void TestSecureMailTransport::handshakeFailures()
{
    QFETCH(QString, behaviour);
    QFETCH(QString, message);
    QFETCH(bool, established);

    auto run = makeRun();
    QSignalSpy connected(run->transport.get(), &MailTransport::connected);
    QSignalSpy received(run->transport.get(), &MailTransport::received);
    run->transport->connectTo(QStringLiteral("127.0.0.1"), m_peer.port(behaviour));
    if (message.isEmpty())
        QVERIFY(!m_peer.takeLine(QStringLiteral("CLOSED ") + behaviour).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(run->transport->state(), 0, 10000);
    QTRY_COMPARE(run->boxes.shown, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(connected.count(), established ? 1 : 0);
    QCOMPARE(received.count(), 0); // nothing that failed its check reaches the mail session
    QCOMPARE(run->statuses, (established ? QStringList{"Creating Secure Session", "Secure Session Connected"}
                                         : QStringList{"Creating Secure Session"}));
    QCOMPARE(run->transport->session().state(), SSLv2::State::Idle); // keys dropped
    QCOMPARE(m_peer.lines().filter(QStringLiteral("FAIL")), QStringList());
}

void TestSecureMailTransport::serverClosesAfterHandshake()
{
    auto run = makeRun();
    QSignalSpy connected(run->transport.get(), &MailTransport::connected);
    run->transport->connectTo(QStringLiteral("127.0.0.1"), m_peer.port(QStringLiteral("close_established")));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 10000);
    QTRY_COMPARE(run->transport->state(), 0);
    QCOMPARE(run->boxes.shown, QStringList());
    // A send after the close goes nowhere and does not crash.
    run->transport->send("QUIT\r\n");
}

void TestSecureMailTransport::repliesAndRecordsDoNotAlign_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("deliveries");
    QTest::newRow("two replies in one record") << "two_replies" << QByteArray("220 one\r\n250 two\r\n") << 1;
    QTest::newRow("one reply over two records") << "split_reply" << QByteArray("220 split reply\r\n") << 2;
}

void TestSecureMailTransport::repliesAndRecordsDoNotAlign()
{
    QFETCH(QString, behaviour);
    QFETCH(QByteArray, expected);
    QFETCH(int, deliveries);

    auto run = makeRun();
    QByteArray got;
    int count = 0;
    connect(run->transport.get(), &MailTransport::received, this, [&](const QByteArray& data) {
        got += data;
        ++count;
    });
    run->transport->connectTo(QStringLiteral("127.0.0.1"), m_peer.port(behaviour));
    QTRY_COMPARE_WITH_TIMEOUT(got, expected, 10000);
    QCOMPARE(count, deliveries);
    run->transport->close();
    QCOMPARE(run->boxes.shown, QStringList());
}

void TestSecureMailTransport::nextSessionAfterAFailureStartsClean()
{
    auto run = makeRun();
    run->transport->connectTo(QStringLiteral("127.0.0.1"), m_peer.port(QStringLiteral("bad_data_mac")));
    QTRY_COMPARE_WITH_TIMEOUT(run->boxes.shown.size(), 1, 10000);
    SmtpDialogue::Options options;
    options.message = mailText(200);
    SmtpDialogue dialogue(run->transport.get(), options);
    run->statuses.clear();
    run->transport->connectTo(QStringLiteral("127.0.0.1"), m_peer.port(QStringLiteral("normal")));
    QTRY_VERIFY_WITH_TIMEOUT(dialogue.done(), 20000);
    QVERIFY2(dialogue.failure().isEmpty(), qPrintable(dialogue.failure()));
    QCOMPARE(run->statuses, (QStringList{"Creating Secure Session", "Secure Session Connected"}));
    QVERIFY(!m_peer.takeLine(QStringLiteral("MAIL ")).isEmpty());
}

void TestSecureMailTransport::refusedConnection()
{
    auto run = makeRun();
    run->transport->connectTo(QStringLiteral("127.0.0.1"), unusedLocalPort());
    QTRY_COMPARE_WITH_TIMEOUT(run->boxes.shown.size(), 1, 10000);
    QVERIFY2(run->boxes.shown.first().startsWith(QLatin1String("Winsock Error: (0) ")), qPrintable(run->boxes.shown.first()));
    QCOMPARE(run->transport->state(), 0);
    QCOMPARE(run->statuses, QStringList());
}

void TestSecureMailTransport::providerMissing()
{
    auto noLegacy = std::make_unique<testkeys::NoLegacyProvider>();
    auto run = makeRun();
    run->transport->connectTo(QStringLiteral("127.0.0.1"), m_peer.port(QStringLiteral("normal")));
    QTRY_COMPARE_WITH_TIMEOUT(run->boxes.shown, QStringList{SecureMailTransport::providerMissingText()}, 10000);
    noLegacy.reset();
    QCOMPARE(run->transport->state(), 0);
    QCOMPARE(run->statuses, QStringList{"Creating Secure Session"});
    QVERIFY(run->boxes.shown.first().startsWith(
        QLatin1String("Vistrel has detected that you do not have the required High Encryption Pack installed.\r\n")));
}

QTEST_GUILESS_MAIN(TestSecureMailTransport)
#include "tst_securemailtransport.moc"
