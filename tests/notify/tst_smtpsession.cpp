// The notification mail against aiosmtpd (tests/peers/smtp_peer.py) over plain SMTP, STARTTLS and TLS.
#include "PeerProcess.h"
#include "TestNotificationHost.h"
#include "notify/MailText.h"
#include "notify/SmtpSession.h"
#include "platform/SocketControl.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString TimedOut = QStringLiteral("Error: Could not connect to 127.0.0.1 - timed out");
const QString NoGreeting = QStringLiteral("Error: Connected to 127.0.0.1, but no greeting came - timed out");
const bool Wine = qEnvironmentVariableIsSet("VISTREL_UNDER_WINE"); // set by windows/wine-run.sh
const QString NoHandshake = QStringLiteral("Error: TLS handshake with 127.0.0.1 did not finish - timed out");
const QString Cut = QString(199, QLatin1Char('x')) + QChar(0x2026); // of a flood of "x"
const QString Password = QStringLiteral("s\u00e9cret");
const QByteArray Ehlo = "EHLO " + SocketControl::localHostName().toUtf8() + "\r\n";
const QByteArray Starttls = Ehlo + "STARTTLS\r\n";

QStringList progress(int ticks)
{
    QStringList out;
    for (int i = 0; i < ticks; ++i)
        out << QStringLiteral("Connecting to Mail Server 127.0.0.1... (%1)").arg(i);
    return out;
}

/// "Date:" and "Message-ID:" differ on every send: removed when of their form, so a bad one shows.
struct Received
{
    QByteArray raw;
    QList<QByteArray> messages;
    QStringList auth;
};

QStringList smtpLog; // what the session logged under its debug category

Received recorded(PeerProcess& peer)
{
    QTest::qWait(200); // let the peer print what it got
    static const QRegularExpression dateAndId(
        "Date: [A-Z][a-z]{2}, \\d{2} [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\r\n"
        "Message-ID: <[0-9a-f]{32}@example.test>\r\n");
    const auto strip = [](const QByteArray& b) { return QString::fromUtf8(b).remove(dateAndId).toUtf8(); };
    Received r;
    for (const QByteArray& line : peer.stop().split('\n')) {
        const QList<QByteArray> w = line.trimmed().split(' ');
        if (w.size() >= 2 && w[0] == "RAW")
            r.raw += QByteArray::fromBase64(w[1]);
        else if (w.size() >= 2 && w[0] == "MESSAGE")
            r.messages << strip(QByteArray::fromBase64(w[1]));
        else if (w.size() >= 5 && w[0] == "AUTH")
            r.auth << QString::fromUtf8(w[1] + ' ' + QByteArray::fromBase64(w[2]) + ' ' + w[4]);
    }
    r.raw = strip(r.raw);
    return r;
}
} // namespace

class TestSmtpSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_host = std::make_unique<TestNotificationHost>(); smtpLog.clear(); }
    void deliversMail_data();
    void deliversMail();
    void serverFaultAtEachStep_data();
    void serverFaultAtEachStep();
    void timeOutAfterThirtyTicksAndNoSecondSendMeanwhile();
    void refusedConnectionEndsAtOnce_data();
    void refusedConnectionEndsAtOnce();
    void leftoverTextDoesNotReachTheNextGreeting();
    void badSettingEndsAtOnce_data();
    void badSettingEndsAtOnce();

private:
    QStringList cert(const QString& name) const
    {
        return {"--tls-cert", m_dir.filePath(name + ".pem"), "--tls-key", m_dir.filePath(name + ".key")};
    }
    /// Starts the peer (plain: AUTH LOGIN only) and points the mail settings at it, trusting the test CA.
    [[nodiscard]] bool start(PeerProcess& peer, const QStringList& args, MailSecurity security = MailSecurity::None,
                             bool auth = true)
    {
        const QStringList fixed{"--user", "alice", "--password", Password};
        const QStringList mode = security == MailSecurity::None ? QStringList{"--only-login"}
                                 : security == MailSecurity::Tls ? QStringList{"--security", "tls"}
                                                                 : QStringList{"--security", "starttls"};
        const bool ok = peer.start(QStringLiteral("smtp_peer.py"), mode + fixed + args);
        m_host->configureMail(peer.port(), auth, security, QStringLiteral("alice"), Password);
        m_host->notifySettings().trustedCertificates = m_dir.filePath("ca.pem");
        return ok || (qWarning() << peer.error(), false);
    }
    [[nodiscard]] static bool send(SmtpSession& session, int interval = 60000)
    {
        session.setTimerInterval(interval);
        QSignalSpy finished(&session, &SmtpSession::finished);
        session.startMail();
        return !session.isBusy() || finished.wait(20000);
    }
    QTemporaryDir m_dir;
    std::unique_ptr<TestNotificationHost> m_host;
};

void TestSmtpSession::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("vistrel.notify.smtp.debug=true"));
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
        if (QByteArrayView(context.category) == "vistrel.notify.smtp")
            smtpLog << text;
    });
    QVERIFY(runOpenssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Vistrel Test CA",
                     "-keyout", m_dir.filePath("ca.key"), "-out", m_dir.filePath("ca.pem")}));
    QFile ca(m_dir.filePath("ca.pem"));
    QVERIFY(ca.open(QIODevice::ReadOnly));
    const QByteArray caPem = ca.readAll();
    // A good one, one for another name, an expired one (valid until a day before it was made).
    for (const auto& [name, days, san] :
         {std::tuple{"good", "2", "IP:127.0.0.1"}, std::tuple{"othername", "2", "DNS:mail.example.org"},
          std::tuple{"expired", "-1", "IP:127.0.0.1"}}) {
        const QString base = m_dir.filePath(name);
        QFile ext(base + ".ext");
        QVERIFY(ext.open(QIODevice::WriteOnly) && ext.write(QByteArray("subjectAltName=") + san + "\n") > 0);
        ext.close();
        QVERIFY(runOpenssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", base + ".key", "-out", base + ".csr",
                         "-subj", QStringLiteral("/CN=") + name}));
        QVERIFY(runOpenssl({"x509", "-req", "-in", base + ".csr", "-CA", m_dir.filePath("ca.pem"), "-CAkey",
                         m_dir.filePath("ca.key"), "-CAcreateserial", "-days", days, "-extfile", base + ".ext", "-out",
                         base + ".pem"}));
        // The server sends the CA after its certificate: Wine's chains look for an issuer there, not among the CAs
        // a program hands Schannel (the settings' certificates file), which they still take as the trusted roots.
        QFile leaf(base + ".pem");
        QVERIFY(leaf.open(QIODevice::Append) && leaf.write(caPem) > 0);
    }
}

void TestSmtpSession::deliversMail_data()
{
    QTest::addColumn<MailSecurity>("security");
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<QString>("mechanism"); // empty: no AUTH, HELO
    QTest::addColumn<QString>("encoding");
    QTest::newRow("plain, HELO, MIME, RCPT answered 251")
        << MailSecurity::None << QStringList{"--reply", "rcpt=251 User not local; will forward\r\n"} << ""
        << "MIME";
    QTest::newRow("plain, AUTH LOGIN, UUEncode") << MailSecurity::None << QStringList{} << "LOGIN" << "UUEncode";
    QTest::newRow("plain, multi-line replies split at every byte")
        << MailSecurity::None << QStringList{"--multiline", "--split", "1", "--split-pause", "0.002"} << "LOGIN"
        << "MIME";
    QTest::newRow("STARTTLS, PLAIN") << MailSecurity::StartTls << cert("good") << "PLAIN" << "MIME";
    // Sent with the 220 to STARTTLS, before the handshake: it must not answer the EHLO inside TLS.
    QTest::newRow("STARTTLS, reply injected before TLS dropped")
        << MailSecurity::StartTls << QStringList{"--reply", "starttls=220 ready\\r\\n250 fake\\r\\n"} + cert("good")
        << "PLAIN" << "MIME";
    QTest::newRow("TLS, PLAIN") << MailSecurity::Tls << cert("good") << "PLAIN" << "UUEncode";
    QTest::newRow("TLS, LOGIN, replies split at every byte")
        << MailSecurity::Tls << QStringList{"--only-login", "--split", "1", "--split-pause", "0"} + cert("good")
        << "LOGIN" << "MIME";
}

void TestSmtpSession::deliversMail()
{
    QFETCH(MailSecurity, security);
    QFETCH(QStringList, peerArgs);
    QFETCH(QString, mechanism);
    QFETCH(QString, encoding);
    PeerProcess peer;
    QVERIFY(start(peer, peerArgs, security, !mechanism.isEmpty()));
    NotifySettings& v = m_host->notifySettings();
    v.useBody = true;
    v.body = QStringLiteral("Now at $EXTERNAL$\r\n.\r\n.hidden\r\n\u00e9t\u00e9"); // dot-led lines arrive as written
    m_host->settings().write(QStringLiteral("strEncoding"), encoding);
    SmtpSession session(*m_host);
    QVERIFY(send(session));
    QCOMPARE(m_host->status(), QStringLiteral("Message Sent"));
    const QString log = smtpLog.join(u'\n'), sentAuth = mechanism == "PLAIN" ? "AUTH PLAIN ***" : "sent ***";
    QVERIFY2(mechanism.isEmpty() || log.contains(sentAuth), qPrintable(log)); // the category is on; no credential
    for (const QByteArray& secret : {Password.toUtf8(), Password.toUtf8().toBase64(),
                                     (QByteArray("\0alice\0", 7) + Password.toUtf8()).toBase64()})
        QVERIFY2(!log.contains(QString::fromUtf8(secret)), qPrintable(log));
    MailMessageExtras extras;
    extras.eightBitMime = !mechanism.isEmpty(); // offered in EHLO's reply; after HELO the body goes quoted-printable
    const QByteArray data =
        ComposeMailMessage(encoding, QStringLiteral("Now at 203.0.113.7\r\n.\r\n.hidden\r\n\u00e9t\u00e9"), v.emailFrom,
                           v.emailTo, m_host->product(), extras)
            ->toUtf8();
    QByteArray wire = security == MailSecurity::StartTls ? Starttls : QByteArray(); // no AUTH before TLS
    wire += mechanism.isEmpty() ? "HELO " + SocketControl::localHostName().toUtf8() + "\r\n" : Ehlo;
    if (mechanism == "LOGIN")
        wire += "AUTH LOGIN\r\nYWxpY2U=\r\nc8OpY3JldA==\r\n"; // "alice", UTF-8 of "sécret"
    else if (mechanism == "PLAIN")
        wire += "AUTH PLAIN " + (QByteArray("\0alice\0", 7) + Password.toUtf8()).toBase64() + "\r\n";
    wire += "MAIL FROM:<ip@example.test>" + QByteArray(mechanism.isEmpty() ? "" : " BODY=8BITMIME") +
            "\r\nRCPT TO:<owner@example.test>\r\nDATA\r\n" + data + "QUIT\r\n";
    const Received got = recorded(peer);
    QCOMPARE(got.raw, wire); // QUIT too: its reply is awaited before the close
    QCOMPARE(got.auth, mechanism.isEmpty() ? QStringList() : QStringList{"ok alice " + mechanism});
    QCOMPARE(got.messages, QList<QByteArray>{QByteArray(data).replace("\r\n..", "\r\n.").chopped(3)});
    QVERIFY(encoding != "MIME" || got.messages.value(0).endsWith("\r\n--QUAVIX--\r\n")); // the closing boundary
}

void TestSmtpSession::serverFaultAtEachStep_data()
{
    QTest::addColumn<MailSecurity>("security");
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<QString>("statusBefore"); // empty: not checked
    QTest::addColumn<QString>("status");       // a time-out text: the wait runs out after its 30 ticks
    QTest::addColumn<int>("kept"); // messages the server kept; -1: none, and no command after TLS failed
    const auto row = [](const char* name, MailSecurity s, const QStringList& args, const char* before,
                        const QString& status, int kept = 0) {
        QTest::newRow(name) << s << args << QString(before) << status << kept;
    };
    const auto reply = [&row](const char* step, const char* text, const char* before, int kept = 0) {
        const QString name = QStringLiteral("%1 answered %2").arg(step, QString(text).replace("\r\n", " "));
        row(qPrintable(name), MailSecurity::None, {"--reply", QString(step) + '=' + text}, before,
            QStringLiteral("Error: ") + QString(text).replace("\r\n", " ").trimmed(), kept);
    };
    const MailSecurity plain = MailSecurity::None, starttls = MailSecurity::StartTls, tls = MailSecurity::Tls;
    reply("greeting", "554 go away\r\n", "Connected");
    reply("greeting", "hello\r\n", "Connected");
    reply("ehlo", "502 what\r\n", "Receiving Welcome Message");
    reply("auth", "504 no\r\n", "Requesting Authentication");
    reply("user", "535 who\r\n", "Sending Encoded Username");
    reply("password", "554-bad\r\n554 credentials\r\n", "Sending Encoded Password");
    reply("mail", "550 no\r\n", "Sending Mail FROM");
    row("rejection with escape sequences", plain, {"--reply", "rcpt=550 \x1b]0;owned\x07\x1b[2J\xe2\x80\xaeno\r\n"},
        "Sending Mail TO", "Error: 550 ]0;owned[2Jno");
    reply("data", "503 order\r\n", "Sending Email Data");
    reply("message", "552 big\r\n", "Sending Mail . . .", 1);
    row("endless EHLO reply cut, its start shown", plain,
        {"--flood", "ehlo", "--split", "1000", "--split-pause", "0.001"}, "Receiving Welcome Message", "Error: " + Cut);
    row("silent server", plain, {"--stall", "greeting"}, "Connecting...", NoGreeting);
    row("close before the greeting", plain, {"--close", "greeting"}, "Connecting...", NoGreeting);
    row("close after half a reply", plain, {"--reply", "ehlo=250-half", "--close", "ehlo"}, "Receiving Welcome Message",
        TimedOut);
    row("close after the message", plain, {"--close", "message"}, "Sending Mail . . .", TimedOut, 1);
    const QStringList good = cert("good");
    for (const char* step : {"greeting", "starttls", "ehlo", "auth", "mail", "message"})
        row(qPrintable(QStringLiteral("STARTTLS, 421 to %1").arg(step)), starttls,
            QStringList{"--reply", QString(step) + "=421 4.3.2 going down\\r\\n"} + good, "",
            "Error: 421 4.3.2 going down", QByteArray(step) == "message");
    row("STARTTLS, refused password", starttls, QStringList{"--password", "other"} + good, "",
        "Error: the server refused the user name or password");
    row("STARTTLS, 1 MiB reply line", starttls, QStringList{"--flood", "auth", "--flood-bytes", "1048576"} + good, "",
        "Error: " + Cut);
    row("STARTTLS, stall mid-dialogue", starttls, QStringList{"--stall", "rcpt"} + good, "Sending Mail TO", TimedOut);
    row("STARTTLS, no reply to QUIT", starttls, QStringList{"--stall", "quit"} + good, "", "Message Sent", 1);
    // TLS that fails: a clear reason at once, and no credentials, no mail, not even QUIT.
    const QString notTrusted = QStringLiteral("Error: certificate of 127.0.0.1 not trusted: The ");
    const QString failed = QStringLiteral("Error: TLS handshake with 127.0.0.1 failed: ");
    const QStringList go{"--reply", "starttls=220 go\\r\\n"};
    row("TLS, other name", tls, cert("othername"), "", notTrusted + "host name did not match", -1);
    row("STARTTLS, expired", starttls, cert("expired"), "", notTrusted + "certificate has expired", -1);
    // Wine's chains call a self-signed certificate an untrusted root.
    row("TLS, self-signed", tls, {}, "", notTrusted + (Wine ? "" : "certificate is self-signed"), -1);
    row("STARTTLS, garbage instead of ServerHello", starttls, go + QStringList{"--garbage", "starttls"}, "", failed, -1);
    row("STARTTLS, silence after its 220", starttls, go + QStringList{"--stall", "starttls"}, "Starting TLS", NoHandshake,
        -1);
    row("STARTTLS, close during the handshake", starttls, go + QStringList{"--close", "starttls"}, "", failed, -1);
    row("TLS, plain server", tls, {"--security", "none"}, "", failed, -1);
    row("STARTTLS not offered", starttls, {"--security", "none"}, "", "Error: server does not offer STARTTLS", -1);
}

void TestSmtpSession::serverFaultAtEachStep()
{
    QFETCH(MailSecurity, security);
    QFETCH(QStringList, peerArgs);
    QFETCH(QString, statusBefore);
    QFETCH(QString, status);
    QFETCH(int, kept);
    // Wine's Schannel does not end a handshake with a server that answers garbage or plain text: the ticks do.
    const bool endless = Wine && QRegularExpression("garbage|plain server").match(QTest::currentDataTag()).hasMatch();
    if (endless)
        status = security == MailSecurity::Tls ? TimedOut : NoHandshake;
    PeerProcess peer;
    QVERIFY(start(peer, peerArgs, security));
    QElapsedTimer clock;
    clock.start();
    SmtpSession session(*m_host);
    const bool timeOut = status.endsWith(QLatin1String("timed out"));
    QVERIFY(send(session, timeOut ? 20 : 60000));
    const QStringList& statuses = m_host->statuses;
    if (timeOut && !endless) {
        // Every tick of the last wait comes after its step began; a greeting's wait counts from the connect.
        QStringList last = statuses.mid(statuses.lastIndexOf(statusBefore) + 1);
        last.removeAll(QStringLiteral("Connected"));
        QCOMPARE(last, progress(SmtpSession::TimeoutTicks) << status);
    } else {
        const QString shown = m_host->status(); // the exact text, or its start where a library's reason follows
        QVERIFY2(statusBefore.isEmpty() ? shown.startsWith(status) : shown == status, qPrintable(shown));
        QVERIFY(statusBefore.isEmpty() || statuses.value(statuses.size() - 2) == statusBefore);
    }
    QCOMPARE(session.plainTransport().state(), MailTransport::State::Closed);
    QVERIFY(!session.isMailTimerActive());
    const Received got = recorded(peer);
    QCOMPARE(got.messages.size(), std::max(kept, 0));
    if (peerArgs.contains("quit")) // the close waits for QUIT's reply
        QVERIFY(clock.elapsed() >= SmtpSession::QuitWaitMs);
    if (kept < 0) {
        QVERIFY(clock.elapsed() < 5000); // not by a time-out
        for (const char* command : {"AUTH", "MAIL", "QUIT"})
            QVERIFY(!got.raw.contains(command));
    }
}

void TestSmtpSession::timeOutAfterThirtyTicksAndNoSecondSendMeanwhile()
{
    PeerProcess peer;
    QVERIFY(start(peer, {"--stall", "greeting"}));
    SmtpSession session(*m_host);
    session.setTimerInterval(3600 * 1000); // the ticks are driven here
    session.startMail();
    QTRY_COMPARE(session.state(), SmtpSession::State::Greeting);
    for (int i = 0; i < SmtpSession::TimeoutTicks - 1; ++i)
        session.mailTimer_Timer();
    QVERIFY(session.isBusy());
    session.startMail();
    QCOMPARE(m_host->status(), QStringLiteral("Error: A notification mail is already being sent"));
    session.mailTimer_Timer();
    QCOMPARE(m_host->statuses.mid(2), progress(SmtpSession::TimeoutTicks - 1)
                                          << "Error: A notification mail is already being sent"
                                          << progress(SmtpSession::TimeoutTicks).last() << NoGreeting);
    QVERIFY(!session.isBusy() && !session.isMailTimerActive());
}

void TestSmtpSession::refusedConnectionEndsAtOnce_data()
{
    QTest::addColumn<MailSecurity>("security");
    QTest::newRow("plain") << MailSecurity::None;
    QTest::newRow("TLS") << MailSecurity::Tls;
}

void TestSmtpSession::refusedConnectionEndsAtOnce()
{
    QFETCH(MailSecurity, security);
    QTcpServer closed; // a port that was free a moment ago, with nobody listening on it now
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    m_host->configureMail(port, false, security, QString(), QString());
    SmtpSession session(*m_host);
    QVERIFY(send(session, 20)); // 30 ticks would take 0.6 s: far sooner than that, by the refusal
    QCOMPARE(m_host->status(),
             QStringLiteral("Error: Could not connect to 127.0.0.1 - the server refused the connection"));
    QVERIFY(session.mailTimerTicks() < SmtpSession::TimeoutTicks);
}

void TestSmtpSession::leftoverTextDoesNotReachTheNextGreeting()
{
    PeerProcess first, second;
    QVERIFY(start(first, {"--reply", "ehlo=250 half a rep", "--stall", "ehlo"}));
    SmtpSession session(*m_host);
    QVERIFY(send(session, 10));
    QCOMPARE(m_host->status(), TimedOut);
    QVERIFY(start(second, {}));
    QVERIFY(send(session));
    QCOMPARE(m_host->status(), QStringLiteral("Message Sent"));
}

void TestSmtpSession::badSettingEndsAtOnce_data()
{
    QTest::addColumn<QString>("emailTo");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("lastSent");
    QTest::newRow("line break in a setting") << "to@example.org>\r\nRCPT TO:<other@example.org" << "MIME"
                                             << "Error: A mail setting holds a line break"
                                             << QByteArray("MAIL FROM:<ip@example.test>\r\n");
    QTest::newRow("unknown encoding") << "to@example.org" << "yEnc"
                                      << "Error: the mail encoding \"yEnc\" is unknown (MIME or UUEncode)"
                                      << QByteArray("DATA\r\n");
}

void TestSmtpSession::badSettingEndsAtOnce()
{
    QFETCH(QString, emailTo);
    QFETCH(QString, encoding);
    QFETCH(QByteArray, lastSent);
    PeerProcess peer;
    QVERIFY(start(peer, {}, MailSecurity::None, false));
    m_host->notifySettings().emailTo = emailTo;
    m_host->settings().write(QStringLiteral("strEncoding"), encoding);
    SmtpSession session(*m_host);
    QVERIFY(send(session)); // within 20 s: a time-out would take 30 minutes here
    QTEST(m_host->status(), "status");
    const QByteArray received = recorded(peer).raw;
    QVERIFY2(received.endsWith(lastSent), received.constData());
}

QTEST_GUILESS_MAIN(TestSmtpSession)
#include "tst_smtpsession.moc"
