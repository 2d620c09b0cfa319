// The whole mail dialogue against aiosmtpd on 127.0.0.1: with and without AUTH LOGIN, both formats,
// both bodies, every byte the server received checked; a rejected login; a second send refused.
#include "PeerProcess.h"
#include "TestNotificationHost.h"
#include "notify/MailText.h"
#include "notify/SmtpSession.h"
#include "platform/SocketControl.h"

#include <QtTest>

namespace {

const QDateTime FixedNow(QDate(2026, 5, 12), QTime(7, 52, 21));

struct Recording
{
    QByteArray raw;             // every byte the client sent, in order
    QList<QByteArray> messages; // every accepted message's content
    QStringList auth;           // "ok alice secret"
};

Recording parse(const QByteArray& output)
{
    Recording r;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() >= 2 && words[0] == "RAW")
            r.raw += QByteArray::fromBase64(words[1]);
        else if (words.size() >= 2 && words[0] == "MESSAGE")
            r.messages << QByteArray::fromBase64(words[1]);
        else if (words.size() >= 4 && words[0] == "AUTH")
            r.auth << QString::fromUtf8(words[1] + ' ' + QByteArray::fromBase64(words[2]) + ' '
                                        + QByteArray::fromBase64(words[3]));
    }
    return r;
}

// The message without its "Date:" and "Message-ID:" lines, which differ on every send.
QByteArray withoutDateAndId(QByteArray data)
{
    static const QRegularExpression lines(QStringLiteral("Date: [^\r]*\r\nMessage-ID: <[0-9a-f]{32}@[^>]*>\r\n"));
    return QString::fromUtf8(data).remove(lines).toUtf8();
}

} // namespace

class TestSmtpSession : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wholeDialogue_data();
    void wholeDialogue();
    void rejectedLogin();
    void secondSendIsRefused();
    void sslWithoutSecureChannel();

private:
    void configure(bool auth);
    [[nodiscard]] bool runToEnd(SmtpSession& session);

    std::unique_ptr<PeerProcess> m_peer;
    std::unique_ptr<TestNotificationHost> m_host;
    quint16 m_port = 0;
};

void TestSmtpSession::init()
{
    m_peer = std::make_unique<PeerProcess>();
    QString error;
    QVERIFY2(m_peer->start("smtp_peer.py", {"--user", "alice", "--password", QStringLiteral("s\u00e9cret")}, &error),
             qPrintable(error));
    m_port = m_peer->port();
    QVERIFY(m_port != 0);
    m_host = std::make_unique<TestNotificationHost>();
}

void TestSmtpSession::cleanup()
{
    m_peer.reset();
    m_host.reset();
}

void TestSmtpSession::configure(bool auth)
{
    // The password goes out as the Base64 of its UTF-8 bytes.
    m_host->configureMail(m_port, auth, false, "vistrel@example.org", "owner@example.org", "alice", "s\u00e9cret");
    m_host->notifySettings().port.prepend(QLatin1Char(' '));  // a leading blank is ignored
}

bool TestSmtpSession::runToEnd(SmtpSession& session)
{
    QSignalSpy finished(&session, &SmtpSession::finished);
    session.cmdSend_Click();
    return session.state() == SmtpSession::State::Idle || finished.wait(10000);
}

void TestSmtpSession::wholeDialogue_data()
{
    QTest::addColumn<bool>("auth");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<bool>("useBody");
    for (bool auth : {false, true}) {
        for (const char* encoding : {"MIME", "UUEncode"}) {
            for (bool useBody : {false, true}) {
                QTest::addRow("%s %s %s", auth ? "auth" : "no-auth", encoding, useBody ? "user-body" : "built-in")
                    << auth << QString::fromLatin1(encoding) << useBody;
            }
        }
    }
}

void TestSmtpSession::wholeDialogue()
{
    QFETCH(bool, auth);
    QFETCH(QString, encoding);
    QFETCH(bool, useBody);
    configure(auth);
    NotifySettings& v = m_host->notifySettings();
    v.useBody = useBody;
    // A lone dot and a dot-led line in the user's body must arrive as written.
    v.body = QStringLiteral("Now at $EXTERNAL$ / $internal$\r\n.\r\n.hidden\r\nend \u00e9t\u00e9");
    m_host->settings().write(QStringLiteral("strEncoding"), encoding);  // the session reads it from the store

    SmtpSession session(*m_host);
    session.setClock([] { return FixedNow; });
    session.setTimerInterval(60000);  // no progress texts in between
    QVERIFY(runToEnd(session));

    QStringList expectedStatuses{"Connecting...", "Connected", "Receiving Welcome Message"};
    if (auth)
        expectedStatuses << "Requesting Authentication" << "AUTH OK";  // PLAIN, offered by the peer
    expectedStatuses << "Sending Mail FROM" << "Sending Mail TO" << "Sending Email Data" << "Sending Mail . . ."
                     << "Message Sent";
    QCOMPARE(m_host->statuses, expectedStatuses);
    QVERIFY(!session.isMailTimerActive());

    QTest::qWait(200);  // let the peer print what it got
    const Recording got = parse(m_peer->stop());

    // The text itself is pinned by tst_mailtext; here it must be built from the session's inputs.
    MailBodyInputs in;
    in.useBody = useBody;
    in.bodyTemplate = v.body;
    in.internalAddress = m_host->internal;
    in.externalAddress = m_host->external;
    in.now = FixedNow;
    in.product = m_host->product();
    // EHLO (with AUTH) learns of 8BITMIME; after HELO the UTF-8 body goes quoted-printable.
    MailMessageExtras extras;
    extras.eightBitMime = auth;
    const QByteArray data = ComposeMailMessage(encoding, ComposeMailBody(in), v.emailFrom, v.emailTo, in.product, extras)
                                .value_or(QString())
                                .toUtf8();
    // What the server keeps: the data without its end line, the body's dots restored.
    QString content = QString::fromUtf8(data.chopped(3));
    if (useBody && auth) {
        QVERIFY(content.contains(QLatin1String("Now at 203.0.113.7 / 192.168.1.20\r\n..\r\n..hidden\r\n")));
        content.replace(QLatin1String("\r\n..\r\n..hidden\r\n"), QLatin1String("\r\n.\r\n.hidden\r\n"));
    }
    QCOMPARE(got.messages.size(), 1);
    QCOMPARE(QString::fromUtf8(withoutDateAndId(got.messages.first())), content);

    // On the wire: every command, the credentials, and the data with its body lines dot-stuffed.
    QByteArray wire;
    if (auth) {
        wire += "EHLO " + SocketControl::localHostName().toUtf8() + "\r\n";
        wire += "AUTH PLAIN AGFsaWNlAHPDqWNyZXQ=\r\n";  // NUL "alice" NUL UTF-8 of "s\u00e9cret"
    } else {
        wire += "HELO " + SocketControl::localHostName().toUtf8() + "\r\n";
    }
    wire += "MAIL FROM:<vistrel@example.org>\r\nRCPT TO:<owner@example.org>\r\nDATA\r\n" + data;
    const QByteArray raw = withoutDateAndId(got.raw);
    QVERIFY2(raw.startsWith(wire), raw.constData());
    QCOMPARE(raw.mid(wire.size()), QByteArray("QUIT\r\n"));
    if (auth)
        QCOMPARE(got.auth, QStringList{QStringLiteral("ok alice s\u00e9cret")});
    else
        QVERIFY(got.auth.isEmpty());
}

void TestSmtpSession::rejectedLogin()
{
    configure(true);
    m_host->notifySettings().password = QStringLiteral("wrong");
    SmtpSession session(*m_host);
    session.setTimerInterval(60000);
    QVERIFY(runToEnd(session));
    QCOMPARE(m_host->status(), QStringLiteral("Error: the server refused the user name or password"));
    QVERIFY(!m_host->statuses.contains(QStringLiteral("AUTH OK")));
    QVERIFY(!m_host->statuses.contains(QStringLiteral("Sending Mail FROM")));
    QCOMPARE(session.plainTransport().state(), 0);
    QVERIFY(!session.isMailTimerActive());
    QTest::qWait(200);
    QVERIFY(parse(m_peer->stop()).messages.isEmpty());
}

void TestSmtpSession::secondSendIsRefused()
{
    configure(false);
    SmtpSession session(*m_host);
    session.setTimerInterval(60000);
    QSignalSpy finished(&session, &SmtpSession::finished);
    session.cmdSend_Click();
    session.cmdSend_Click();  // while the first one connects
    QCOMPARE(m_host->status(), QStringLiteral("Error: A notification mail is already being sent"));
    QVERIFY(finished.wait(10000));
    QCOMPARE(m_host->status(), QStringLiteral("Message Sent"));
    QTest::qWait(200);
    QCOMPARE(parse(m_peer->stop()).messages.size(), 1);

    // Once the first has ended, a new send runs.
    QVERIFY(!session.isBusy());
}

void TestSmtpSession::sslWithoutSecureChannel()
{
    configure(false);
    m_host->notifySettings().security = MailSecurity::Ssl2;
    SmtpSession session(*m_host);
    session.cmdSend_Click();
    QCOMPARE(m_host->statuses,
             (QStringList{"Connecting...", "Error: SSL encryption is not available in this build"}));
    QVERIFY(!session.isBusy());
    QVERIFY(!session.isMailTimerActive());
    QTest::qWait(200);
    QVERIFY(parse(m_peer->stop()).raw.isEmpty());
}

QTEST_GUILESS_MAIN(TestSmtpSession)
#include "tst_smtpsession.moc"
