// The mail dialogue against a scripted server on 127.0.0.1, for what a real server will not do:
// wrong codes at each step, replies in pieces, a server that closes or never answers, and text left
// over from an earlier connection. The mail timer runs at 10 ms here, so 30 ticks take a moment.
#include "PeerProcess.h"
#include "TestNotificationHost.h"
#include "notify/SmtpSession.h"

#include <QtTest>

namespace {

// The server's side of a dialogue with AUTH LOGIN that accepts everything, one entry per step.
const QStringList AcceptingSteps{
    "send:220 ready\\r\\n",                  // greeting
    "line", "send:250-hello\\r\\n250 AUTH LOGIN\\r\\n",  // EHLO
    "line", "send:334 VXNlcm5hbWU6\\r\\n",   // AUTH LOGIN
    "line", "send:334 UGFzc3dvcmQ6\\r\\n",   // user name
    "line", "send:235 ok\\r\\n",             // password
    "line", "send:250 sender ok\\r\\n",      // MAIL FROM
    "line", "send:250 recipient ok\\r\\n",   // RCPT TO
    "line", "send:354 go ahead\\r\\n",       // DATA
    "data", "send:250 accepted\\r\\n",       // the message
};

QStringList progressTexts(const QStringList& statuses)
{
    QStringList out;
    for (const QString& s : statuses)
        if (s.startsWith(QLatin1String("Connecting to Mail Server ")))
            out << s;
    return out;
}

QStringList expectedProgress()
{
    QStringList out;
    for (int i = 0; i < SmtpSession::TimeoutTicks; ++i)
        out << QStringLiteral("Connecting to Mail Server 127.0.0.1... (%1)").arg(i);
    return out;
}

const QString TimedOut = QStringLiteral("Error: Could not connect to 127.0.0.1 - timed out");

/// Sends with the mail timer ticking every @p interval ms and waits for the end.
[[nodiscard]] bool send(SmtpSession& session, int interval)
{
    session.setTimerInterval(interval);
    QSignalSpy finished(&session, &SmtpSession::finished);
    session.cmdSend_Click();
    return finished.wait(10000);
}

} // namespace

class TestSmtpScripted : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void wrongCodeAtEachStep_data();
    void wrongCodeAtEachStep();
    void multiLineRepliesInPieces();
    void serverNeverAnswers();
    void nothingListens();
    void timeoutByTicks();
    void leftoverTextDoesNotReachTheNextGreeting();
    void lineBreakInASettingIsNotSent();

private:
    [[nodiscard]] bool startPeer(PeerProcess& peer, const QStringList& args);
    void configure(quint16 port);
    std::unique_ptr<TestNotificationHost> m_host;
};

void TestSmtpScripted::init()
{
    m_host = std::make_unique<TestNotificationHost>();
}

bool TestSmtpScripted::startPeer(PeerProcess& peer, const QStringList& args)
{
    QString error;
    if (!peer.start(QStringLiteral("scripted_smtp_peer.py"), args, &error)) {
        qWarning() << error;
        return false;
    }
    configure(peer.readyField(QStringLiteral("PORT")).toUShort());
    return true;
}

void TestSmtpScripted::configure(quint16 port)
{
    m_host->configureMail(port, true, false, "from@example.org", "to@example.org", "user", "pw");
}

void TestSmtpScripted::wrongCodeAtEachStep_data()
{
    QTest::addColumn<int>("acceptedSteps");  // the steps of AcceptingSteps that run first
    QTest::addColumn<QString>("reply");      // sent in place of the next reply; empty: the server closes
    QTest::addColumn<QString>("statusBefore");
    QTest::newRow("greeting") << 0 << "554 go away\r\n" << "Connected";
    QTest::newRow("EHLO") << 2 << "502 what\r\n" << "Receiving Welcome Message";
    QTest::newRow("AUTH LOGIN") << 4 << "504 not that one\r\n" << "Requesting Authentication";
    QTest::newRow("user name") << 6 << "535 no such user\r\n" << "Sending Encoded Username";
    QTest::newRow("password") << 8 << "554-bad\r\n554 credentials\r\n" << "Sending Encoded Password";
    QTest::newRow("MAIL FROM") << 10 << "550 sender refused\r\n" << "Sending Mail FROM";
    QTest::newRow("RCPT TO answered 251") << 12 << "251 user not local; will forward\r\n" << "Sending Mail TO";
    QTest::newRow("DATA") << 14 << "503 bad sequence\r\n" << "Sending Email Data";
    QTest::newRow("message") << 16 << "552 too much\r\n" << "Sending Mail . . .";
    QTest::newRow("no code at all") << 0 << "hello there\r\n" << "Connected";
    // A close runs into the time-out: the timer's 30 progress texts of the last wait, then the error.
    QTest::newRow("close before the greeting") << 0 << "" << "Connected";
    QTest::newRow("close after EHLO") << 2 << "" << "Receiving Welcome Message";
    QTest::newRow("close after a partial reply") << 2 << "250-half" << "Receiving Welcome Message";
    QTest::newRow("close after the password") << 8 << "" << "Sending Encoded Password";
    QTest::newRow("close after DATA") << 14 << "" << "Sending Email Data";
    QTest::newRow("close after the message") << 16 << "" << "Sending Mail . . .";
}

void TestSmtpScripted::wrongCodeAtEachStep()
{
    QFETCH(int, acceptedSteps);
    QFETCH(QString, reply);
    QFETCH(QString, statusBefore);
    const bool closes = !reply.endsWith(QLatin1String("\r\n"));
    QStringList steps = AcceptingSteps.mid(0, acceptedSteps);
    QString escaped = reply;
    escaped.replace(QLatin1String("\r"), QLatin1String("\\r")).replace(QLatin1String("\n"), QLatin1String("\\n"));
    if (!reply.isEmpty())
        steps << QStringLiteral("send:") + escaped;
    if (closes)
        steps << QStringLiteral("close");
    PeerProcess peer;
    QVERIFY(startPeer(peer, steps));
    SmtpSession session(*m_host);
    QVERIFY(send(session, closes ? 10 : 60000));
    const QStringList& statuses = m_host->statuses;
    if (closes) {
        const qsizetype stepAt = statuses.lastIndexOf(statusBefore);
        QVERIFY(stepAt >= 0);
        QCOMPARE(statuses.mid(stepAt + 1), expectedProgress() << TimedOut);
    } else {
        QCOMPARE(statuses.last(), QStringLiteral("Error: ") + reply);
        QCOMPARE(statuses.at(statuses.size() - 2), statusBefore);
    }
    QCOMPARE(session.plainTransport().state(), 0);
    QVERIFY(!session.isMailTimerActive());
}

void TestSmtpScripted::multiLineRepliesInPieces()
{
    // The greeting and the EHLO reply arrive in pieces that end at a line end; each is still taken
    // whole, so the AUTH LOGIN step sees its own reply.
    QStringList steps = AcceptingSteps;
    steps[0] = QStringLiteral("send:220-first line\\r\\n");
    steps.insert(1, QStringLiteral("pause:0.3"));
    steps.insert(2, QStringLiteral("send:220 last line\\r\\n"));
    const qsizetype ehlo = steps.indexOf(QStringLiteral("send:250-hello\\r\\n250 AUTH LOGIN\\r\\n"));
    steps[ehlo] = QStringLiteral("send:250-hello\\r\\n");
    steps.insert(ehlo + 1, QStringLiteral("pause:0.3"));
    steps.insert(ehlo + 2, QStringLiteral("send:250-8BITMIME\\r\\n250 AUTH LOGIN\\r\\n"));
    PeerProcess peer;
    QVERIFY(startPeer(peer, steps));
    SmtpSession session(*m_host);
    QVERIFY(send(session, 60000));
    QCOMPARE(m_host->statuses.last(), QStringLiteral("Message Sent"));
    QVERIFY(m_host->statuses.contains(QStringLiteral("AUTH OK")));
}

void TestSmtpScripted::serverNeverAnswers()
{
    PeerProcess peer;
    QVERIFY(startPeer(peer, {QStringLiteral("hang")}));
    SmtpSession session(*m_host);
    QVERIFY(send(session, 10));
    // The greeting's wait counts on from the connect: 30 ticks in all, not 30 after "Connected".
    QCOMPARE(progressTexts(m_host->statuses), expectedProgress());
    QVERIFY(m_host->statuses.contains(QStringLiteral("Connected")));
    QCOMPARE(m_host->statuses.last(), TimedOut);
}

void TestSmtpScripted::nothingListens()
{
    configure(unusedLocalPort());
    SmtpSession session(*m_host);
    QVERIFY(send(session, 10));
    QCOMPARE(m_host->statuses, QStringList{"Connecting..."} << expectedProgress() << TimedOut);
}

void TestSmtpScripted::timeoutByTicks()
{
    // Driven tick by tick: the timer's handler alone decides the time-out, and a send is refused
    // until it has.
    PeerProcess peer;
    QVERIFY(startPeer(peer, {QStringLiteral("hang")}));
    SmtpSession session(*m_host);
    session.setTimerInterval(3600 * 1000);
    session.cmdSend_Click();
    QTRY_COMPARE(session.state(), SmtpSession::State::Greeting);
    for (int i = 0; i < SmtpSession::TimeoutTicks - 1; ++i)
        session.mailTimer_Timer();
    QCOMPARE(m_host->status(), QStringLiteral("Connecting to Mail Server 127.0.0.1... (28)"));
    QVERIFY(session.isBusy());
    session.cmdSend_Click();
    QCOMPARE(m_host->status(), QStringLiteral("Error: A notification mail is already being sent"));
    session.mailTimer_Timer();
    QCOMPARE(m_host->status(), TimedOut);
    QVERIFY(!session.isBusy());
    QVERIFY(!session.isMailTimerActive());
}

void TestSmtpScripted::leftoverTextDoesNotReachTheNextGreeting()
{
    // The first server sends half a reply and goes silent; the attempt times out with it buffered.
    PeerProcess first;
    QVERIFY(startPeer(first, {QStringLiteral("send:220 ready\\r\\n"), QStringLiteral("line"),
                              QStringLiteral("send:250 half a rep"), QStringLiteral("hang")}));
    SmtpSession session(*m_host);
    QVERIFY(send(session, 10));
    QCOMPARE(session.replyReader().buffer(), QByteArray("250 half a rep"));

    // The next server's greeting is taken alone.
    PeerProcess second;
    QVERIFY(startPeer(second, AcceptingSteps));
    m_host->statuses.clear();
    QVERIFY(send(session, 60000));
    QCOMPARE(m_host->statuses.last(), QStringLiteral("Message Sent"));
}

void TestSmtpScripted::lineBreakInASettingIsNotSent()
{
    PeerProcess peer;
    QVERIFY(startPeer(peer, {QStringLiteral("--dialogue")}));
    m_host->notifySettings().useAuth = false;
    m_host->notifySettings().emailTo = QStringLiteral("to@example.org>\r\nRCPT TO:<other@example.org");
    SmtpSession session(*m_host);
    QVERIFY(send(session, 60000));
    QCOMPARE(m_host->statuses.last(), QStringLiteral("Error: A mail setting holds a line break"));
    QTest::qWait(200);
    const QByteArray output = peer.stop();
    QByteArray received;
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith("RECV "))
            received += QByteArray::fromBase64(line.mid(5).trimmed());
    QVERIFY2(!received.contains("RCPT"), received.constData());
    QVERIFY(received.contains("MAIL FROM:<from@example.org>\r\n"));
}

QTEST_GUILESS_MAIN(TestSmtpScripted)
#include "tst_smtpscripted.moc"
