// The notification mail against aiosmtpd on 127.0.0.1 (tests/peers/smtp_peer.py): whole dialogues
// checked byte for byte on the server's side (replies split at every byte too), the server's faults
// at each step, and the time-out.
#include "PeerProcess.h"
#include "TestNotificationHost.h"
#include "notify/MailText.h"
#include "notify/SmtpSession.h"
#include "platform/SocketControl.h"

#include <QtTest>

namespace {
const QString TimedOut = QStringLiteral("Error: Could not connect to 127.0.0.1 - timed out");

QStringList progress(int ticks)
{
    QStringList out;
    for (int i = 0; i < ticks; ++i)
        out << QStringLiteral("Connecting to Mail Server 127.0.0.1... (%1)").arg(i);
    return out;
}

/// What the peer received: all bytes ("RAW" lines), and the messages it kept ("MESSAGE" lines).
std::pair<QByteArray, QByteArray> recorded(PeerProcess& peer)
{
    QTest::qWait(200); // let the peer print what it got
    std::pair<QByteArray, QByteArray> out;
    for (const QByteArray& line : peer.stop().split('\n')) {
        const QByteArray payload = QByteArray::fromBase64(line.mid(line.indexOf(' ') + 1).trimmed());
        if (line.startsWith("RAW "))
            out.first += payload;
        else if (line.startsWith("MESSAGE "))
            out.second += payload;
    }
    // "Date:" and "Message-ID:" differ on every send (tst_tlsmail checks their form).
    static const QRegularExpression dateAndId(QStringLiteral("Date: [^\r]*\r\nMessage-ID: <[^>]*>\r\n"));
    for (QByteArray* bytes : {&out.first, &out.second})
        *bytes = QString::fromUtf8(*bytes).remove(dateAndId).toUtf8();
    return out;
}
} // namespace

class TestSmtpSession : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_host = std::make_unique<TestNotificationHost>(); }
    void portFromText_data();
    void portFromText();
    void wholeDialogue_data();
    void wholeDialogue();
    void serverFaultAtEachStep_data();
    void serverFaultAtEachStep();
    void timeOutAfterThirtyTicksAndNoSecondSendMeanwhile();
    void leftoverTextDoesNotReachTheNextGreeting();
    void lineBreakInASettingIsNotSent();

private:
    [[nodiscard]] bool start(PeerProcess& peer, const QStringList& args, bool auth = true)
    {
        QString error;
        const bool ok =
            peer.start(QStringLiteral("smtp_peer.py"),
                       args + QStringList{"--only-login", "--user", "alice", "--password", QStringLiteral("s\u00e9cret")},
                       &error);
        m_host->configureMail(peer.port(), auth, false, QStringLiteral("alice"), QStringLiteral("s\u00e9cret"));
        return ok || (qWarning() << error, false);
    }
    /// Sends with the mail timer ticking every @p interval ms and waits for the end.
    [[nodiscard]] static bool send(SmtpSession& session, int interval)
    {
        session.setTimerInterval(interval);
        QSignalSpy finished(&session, &SmtpSession::finished);
        session.cmdSend_Click();
        return finished.wait(10000);
    }
    std::unique_ptr<TestNotificationHost> m_host;
};

void TestSmtpSession::portFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("blanks and text around") << " 587abc" << 587;
    QTest::newRow("largest") << "65535" << 65535;
    QTest::newRow("too large") << "65537" << 0;
    QTest::newRow("no digits") << "smtp" << 0;
}

void TestSmtpSession::portFromText()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(int(SmtpSession::portFromText(text)), port);
}

void TestSmtpSession::wholeDialogue_data()
{
    QTest::addColumn<bool>("auth");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QStringList>("peerArgs");
    QTest::newRow("HELO, MIME") << false << "MIME" << QStringList{};
    QTest::newRow("AUTH LOGIN, UUEncode") << true << "UUEncode" << QStringList{};
    QTest::newRow("multi-line replies split at every byte")
        << true << "MIME" << QStringList{"--multiline", "--split", "1", "--split-pause", "0.002"};
}

void TestSmtpSession::wholeDialogue()
{
    QFETCH(bool, auth);
    QFETCH(QString, encoding);
    QFETCH(QStringList, peerArgs);
    PeerProcess peer;
    QVERIFY(start(peer, peerArgs, auth));
    NotifySettings& v = m_host->notifySettings();
    v.useBody = true;
    v.body = QStringLiteral("Now at $EXTERNAL$\r\n.\r\n.hidden\r\n\u00e9t\u00e9"); // dot-led lines arrive as written
    m_host->settings().write(QStringLiteral("strEncoding"), encoding);
    SmtpSession session(*m_host);
    QVERIFY(send(session, 60000));

    QStringList expected{"Connecting...", "Connected", "Receiving Welcome Message"};
    if (auth)
        expected << "Requesting Authentication" << "Sending Encoded Username" << "Sending Encoded Password"
                 << "AUTH OK";
    QCOMPARE(m_host->statuses, expected << "Sending Mail FROM" << "Sending Mail TO" << "Sending Email Data"
                                        << "Sending Mail . . ." << "Message Sent");
    MailMessageExtras extras;
    extras.eightBitMime = auth;  // offered in EHLO's reply; after HELO the body goes quoted-printable
    const QByteArray data =
        ComposeMailMessage(encoding, QStringLiteral("Now at 203.0.113.7\r\n.\r\n.hidden\r\n\u00e9t\u00e9"), v.emailFrom,
                           v.emailTo, m_host->product(), extras)
            ->toUtf8();
    QByteArray wire = (auth ? "EHLO " : "HELO ") + SocketControl::localHostName().toUtf8() + "\r\n";
    if (auth)
        wire += "AUTH LOGIN\r\nYWxpY2U=\r\nc8OpY3JldA==\r\n"; // "alice", UTF-8 of "sécret"
    wire += "MAIL FROM:<ip@example.test>\r\nRCPT TO:<owner@example.test>\r\nDATA\r\n" + data + "QUIT\r\n";
    auto [raw, message] = recorded(peer);
    QCOMPARE(raw, wire); // QUIT too: its reply is awaited before the close
    QCOMPARE(message, QByteArray(data).replace("\r\n..", "\r\n.").chopped(3)); // the server removes the dots
}

void TestSmtpSession::serverFaultAtEachStep_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<QString>("statusBefore");
    QTest::addColumn<QString>("error"); // empty: the wait runs out after its 30 ticks
    const auto row = [](const char* name, const QStringList& args, const char* before, const QString& error) {
        QTest::newRow(name) << args << QString(before) << error;
    };
    const auto reply = [&row](const char* step, const char* text, const char* before) {
        const QString name = QStringLiteral("%1 answered %2").arg(step, QString(text).replace("\r\n", " "));
        row(qPrintable(name), {"--reply", QString(step) + '=' + text}, before, text);
    };
    reply("greeting", "554 go away\r\n", "Connected");
    reply("greeting", "hello\r\n", "Connected");
    reply("ehlo", "502 what\r\n", "Receiving Welcome Message");
    reply("auth", "504 no\r\n", "Requesting Authentication");
    reply("user", "535 who\r\n", "Sending Encoded Username");
    reply("password", "554-bad\r\n554 credentials\r\n", "Sending Encoded Password");
    reply("mail", "550 no\r\n", "Sending Mail FROM");
    reply("rcpt", "251 forwarded\r\n", "Sending Mail TO");
    reply("data", "503 order\r\n", "Sending Email Data");
    reply("message", "552 big\r\n", "Sending Mail . . .");
    row("endless EHLO reply cut, its start shown", {"--flood", "ehlo", "--split", "1000", "--split-pause", "0.001"},
        "Receiving Welcome Message", QString(512, QLatin1Char('x')));
    row("silent server", {"--stall", "greeting"}, "Connecting...", {});
    row("close before the greeting", {"--close", "greeting"}, "Connecting...", {});
    row("close after half a reply", {"--reply", "ehlo=250-half", "--close", "ehlo"}, "Receiving Welcome Message", {});
    row("close after the message", {"--close", "message"}, "Sending Mail . . .", {});
}

void TestSmtpSession::serverFaultAtEachStep()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(QString, statusBefore);
    QFETCH(QString, error);
    PeerProcess peer;
    QVERIFY(start(peer, peerArgs));
    SmtpSession session(*m_host);
    QVERIFY(send(session, error.isEmpty() ? 20 : 60000));
    const QStringList& statuses = m_host->statuses;
    if (error.isEmpty()) {
        // Every tick of the last wait comes after its step began; a greeting's wait counts from the connect.
        QStringList last = statuses.mid(statuses.lastIndexOf(statusBefore) + 1);
        last.removeAll(QStringLiteral("Connected"));
        QCOMPARE(last, progress(SmtpSession::TimeoutTicks) << TimedOut);
    } else {
        QCOMPARE(statuses.mid(statuses.size() - 2), (QStringList{statusBefore, "Error: " + error}));
    }
    QCOMPARE(session.plainTransport().state(), 0);
    QVERIFY(!session.isMailTimerActive());
}

void TestSmtpSession::timeOutAfterThirtyTicksAndNoSecondSendMeanwhile()
{
    PeerProcess peer;
    QVERIFY(start(peer, {"--stall", "greeting"}));
    SmtpSession session(*m_host);
    session.setTimerInterval(3600 * 1000); // the ticks are driven here
    session.cmdSend_Click();
    QTRY_COMPARE(session.state(), SmtpSession::State::Greeting);
    for (int i = 0; i < SmtpSession::TimeoutTicks - 1; ++i)
        session.mailTimer_Timer();
    QVERIFY(session.isBusy());
    session.cmdSend_Click();
    QCOMPARE(m_host->status(), QStringLiteral("Error: A notification mail is already being sent"));
    session.mailTimer_Timer();
    QCOMPARE(m_host->statuses.mid(2), progress(SmtpSession::TimeoutTicks - 1)
                                          << "Error: A notification mail is already being sent"
                                          << progress(SmtpSession::TimeoutTicks).last() << TimedOut);
    QVERIFY(!session.isBusy() && !session.isMailTimerActive());
}

void TestSmtpSession::leftoverTextDoesNotReachTheNextGreeting()
{
    PeerProcess first, second;
    QVERIFY(start(first, {"--reply", "ehlo=250 half a rep", "--stall", "ehlo"}));
    SmtpSession session(*m_host);
    QVERIFY(send(session, 10));
    QCOMPARE(m_host->status(), TimedOut);
    QVERIFY(start(second, {}));
    QVERIFY(send(session, 60000));
    QCOMPARE(m_host->status(), QStringLiteral("Message Sent"));
}

void TestSmtpSession::lineBreakInASettingIsNotSent()
{
    PeerProcess peer;
    QVERIFY(start(peer, {}, false));
    m_host->notifySettings().emailTo = QStringLiteral("to@example.org>\r\nRCPT TO:<other@example.org");
    SmtpSession session(*m_host);
    QVERIFY(send(session, 60000));
    QCOMPARE(m_host->status(), QStringLiteral("Error: A mail setting holds a line break"));
    const QByteArray received = recorded(peer).first;
    QVERIFY2(received.endsWith("MAIL FROM:<ip@example.test>\r\n"), received.constData());
}

QTEST_GUILESS_MAIN(TestSmtpSession)
#include "tst_smtpsession.moc"
