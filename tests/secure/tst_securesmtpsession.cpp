// The notification mail with "Server requires SSL Encryption": the real SMTP session runs its whole
// dialogue inside the SSL 2.0 channel to scapy's server, which relays it to aiosmtpd.
#include "RecordingMessageBox.h"
#include "Ssl2SmtpPeer.h"
#include "TestNotificationHost.h"
#include "notify/SmtpSession.h"
#include "secure/SecureMailTransport.h"

#include <QSignalSpy>
#include <QtTest>

class TestSecureSmtpSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void wholeMailInsideTheChannel_data();
    void wholeMailInsideTheChannel();
    void failedHandshakeEndsInTheTimeout();

private:
    void configure(TestNotificationHost& host, const QString& behaviour, bool auth);
    Ssl2SmtpPeer m_peer;
};

void TestSecureSmtpSession::initTestCase()
{
    QString error;
    QVERIFY2(m_peer.start(&error), qPrintable(error));
}

void TestSecureSmtpSession::configure(TestNotificationHost& host, const QString& behaviour, bool auth)
{
    host.configureMail(m_peer.port(behaviour), auth, true, "ip@example.test", "owner@example.test", "vistrel", "secret");
}

void TestSecureSmtpSession::wholeMailInsideTheChannel_data()
{
    QTest::addColumn<bool>("auth");
    QTest::newRow("with AUTH PLAIN") << true;
    QTest::newRow("without authentication") << false;
}

void TestSecureSmtpSession::wholeMailInsideTheChannel()
{
    QFETCH(bool, auth);
    TestNotificationHost host;
    configure(host, QStringLiteral("normal"), auth);
    RecordingMessageBox boxes;
    SecureMailTransport secure([&host](const QString& text) { host.setStatus(text); }, &boxes);
    SmtpSession session(host);
    session.setSecureTransport(&secure);
    QSignalSpy finished(&session, &SmtpSession::finished);
    m_peer.discardLines();

    session.cmdSend_Click();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QCOMPARE(host.status(), QStringLiteral("Message Sent"));
    QCOMPARE(boxes.shown, QStringList());

    const QString port = host.notifySettings().port;
    QStringList expected{QStringLiteral("Connecting..."),
                         QStringLiteral("Connecting to 127.0.0.1:%1 using SSL v.2").arg(port),
                         QStringLiteral("Creating Secure Session"), QStringLiteral("Secure Session Connected"),
                         QStringLiteral("Connected"), QStringLiteral("Receiving Welcome Message")};
    if (auth)
        expected << QStringLiteral("Requesting Authentication") << QStringLiteral("AUTH OK");  // PLAIN, offered
    expected << QStringLiteral("Sending Mail FROM") << QStringLiteral("Sending Mail TO")
             << QStringLiteral("Sending Email Data") << QStringLiteral("Sending Mail . . .")
             << QStringLiteral("Message Sent");
    QStringList seen = host.statuses;
    seen.removeIf([](const QString& s) { return s.startsWith(QLatin1String("Connecting to Mail Server ")); });
    QCOMPARE(seen, expected);

    const QString mail = m_peer.takeLine(QStringLiteral("MAIL "));
    QVERIFY2(!mail.isEmpty(), qPrintable(m_peer.lines().join('\n')));
    const QStringList words = mail.split(QLatin1Char(' '));
    QCOMPARE(words.at(1), QStringLiteral("ip@example.test"));
    QCOMPARE(words.at(2), QStringLiteral("owner@example.test"));
    QCOMPARE(words.at(3), auth ? QStringLiteral("vistrel") : QStringLiteral("-"));
    const QByteArray message = QByteArray::fromBase64(words.at(4).toLatin1());
    QVERIFY(message.contains("Subject: Tarnwick IP Vistrel - IP Address Changed"));
    QVERIFY(message.contains("External IP Address: 203.0.113.7"));
    const QString check = m_peer.takeLine(QStringLiteral("CROSSCHECK"));
    QVERIFY2(check.startsWith(QLatin1String("CROSSCHECK OK")), qPrintable(check));
    QCOMPARE(m_peer.lines().filter(QStringLiteral("FAIL")), QStringList());
}

void TestSecureSmtpSession::failedHandshakeEndsInTheTimeout()
{
    TestNotificationHost host;
    configure(host, QStringLiteral("bad_challenge"), false);
    RecordingMessageBox boxes;
    SecureMailTransport secure([&host](const QString& text) { host.setStatus(text); }, &boxes);
    SmtpSession session(host);
    session.setTimerInterval(20);  // 30 ticks of the mail timer, without waiting 30 seconds
    session.setSecureTransport(&secure);
    QSignalSpy finished(&session, &SmtpSession::finished);

    session.cmdSend_Click();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(host.status(), QStringLiteral("Error: Could not connect to 127.0.0.1 - timed out"));
    QVERIFY(!host.statuses.contains(QStringLiteral("Secure Session Connected")));
    QCOMPARE(secure.state(), 0);
}

QTEST_MAIN(TestSecureSmtpSession)
#include "tst_securesmtpsession.moc"
