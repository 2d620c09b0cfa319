// Mail over STARTTLS and implicit TLS against aiosmtpd on 127.0.0.1 with certificates made here by
// openssl from a test CA: delivery with AUTH PLAIN and LOGIN, every certificate and handshake fault,
// what the server received in each case; the message's headers; the Security setting and list.
#include "PeerProcess.h"
#include "TestNotificationHost.h"
#include "app/Form1Hooks.h"
#include "notify/MailText.h"
#include "notify/NotifySettingsEditor.h"
#include "notify/SmtpSession.h"
#include "notify/frmConfigure.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Received
{
    QByteArray raw;  // what the client sent, decrypted
    QList<QByteArray> messages;
    QStringList auth;  // "ok alice PLAIN"
};

Received parse(const QByteArray& output)
{
    Received r;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> w = line.trimmed().split(' ');
        if (w.size() >= 2 && w[0] == "RAW")
            r.raw += QByteArray::fromBase64(w[1]);
        else if (w.size() >= 2 && w[0] == "MESSAGE")
            r.messages << QByteArray::fromBase64(w[1]);
        else if (w.size() >= 5 && w[0] == "AUTH")
            r.auth << QString::fromUtf8(w[1] + ' ' + QByteArray::fromBase64(w[2]) + ' ' + w[4]);
    }
    return r;
}

struct NoHooks : NotificationHooks
{
    void cmdSend_Click() override {}
    void doHitURL() override {}
    void doLauchProg() override {}
    void showConfiguration() override {}
    void unload() override {}
};

} // namespace

class TestTlsMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void deliversOverTls_data();
    void deliversOverTls();
    void certificateNotTrusted_data();
    void certificateNotTrusted();
    void brokenTlsEndsAtOnce_data();
    void brokenTlsEndsAtOnce();
    void replyFaultsEndTheSession_data();
    void replyFaultsEndTheSession();
    void quitWaitIsBounded();
    void messageDeclaresItsBody_data();
    void messageDeclaresItsBody();
    void securityFromStore_data();
    void securityFromStore();
    void securityChoiceProposesItsPort();

private:
    void makeCertificate(const QString& name, const QStringList& extraArgs, const QString& san);
    /// Runs one send against smtp_peer.py with @p peerArgs; returns what the server received.
    Received send(const QStringList& peerArgs, MailSecurity security, bool trustCa = true, int tickMs = 1000);

    QTemporaryDir m_dir;
    std::unique_ptr<TestNotificationHost> m_host;
};

void TestTlsMail::makeCertificate(const QString& name, const QStringList& extraArgs, const QString& san)
{
    const QString base = m_dir.filePath(name);
    QFile ext(base + ".ext");
    QVERIFY(ext.open(QIODevice::WriteOnly));
    ext.write("subjectAltName=" + san.toLatin1() + "\n");
    ext.close();
    const QList<QStringList> steps{
        {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", base + ".key", "-out", base + ".csr", "-subj", "/CN=" + name},
        QStringList{"x509", "-req", "-in", base + ".csr", "-CA", m_dir.filePath("ca.pem"), "-CAkey",
                    m_dir.filePath("ca.key"), "-CAcreateserial", "-extfile", base + ".ext", "-out", base + ".pem"}
            + extraArgs};
    for (const QStringList& args : steps) {
        QProcess openssl;
        openssl.start("openssl", args);
        QVERIFY2(openssl.waitForFinished(30000) && openssl.exitCode() == 0, openssl.readAllStandardError());
    }
}

void TestTlsMail::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QProcess ca;
    ca.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Vistrel Test CA",
                         "-keyout", m_dir.filePath("ca.key"), "-out", m_dir.filePath("ca.pem")});
    QVERIFY(ca.waitForFinished(30000) && ca.exitCode() == 0);
    makeCertificate("good", {"-days", "2"}, "IP:127.0.0.1");
    makeCertificate("othername", {"-days", "2"}, "DNS:mail.example.org");
    makeCertificate("expired", {"-days", "-1"}, "IP:127.0.0.1");
}

Received TestTlsMail::send(const QStringList& peerArgs, MailSecurity security, bool trustCa, int tickMs)
{
    PeerProcess peer;
    QString error;
    if (!peer.start("smtp_peer.py", peerArgs, &error))
        qFatal("%s", qPrintable(error));
    m_host = std::make_unique<TestNotificationHost>();
    m_host->configureMail(peer.port(), true, false, "ip@example.org", "owner@example.org", "alice", "secret");
    m_host->notifySettings().security = security;
    m_host->notifySettings().trustedCertificates = trustCa ? m_dir.filePath("ca.pem") : QString();
    m_host->notifySettings().body = QStringLiteral("Neue Adresse: $External$ \u00fcber TLS");
    m_host->notifySettings().useBody = true;
    SmtpSession session(*m_host);
    session.setTimerInterval(tickMs);
    QSignalSpy finished(&session, &SmtpSession::finished);
    session.cmdSend_Click();
    if (session.isBusy() && !finished.wait(20000))
        qWarning("the session did not end");
    QTest::qWait(100);  // the peer prints what it got
    return parse(peer.stop());
}

void TestTlsMail::deliversOverTls_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("mechanism");
    const QStringList good{"--tls-cert", m_dir.filePath("good.pem"), "--tls-key", m_dir.filePath("good.key")};
    const int starttls = int(MailSecurity::StartTls);
    QTest::newRow("STARTTLS, PLAIN") << QStringList{"--security", "starttls"} + good << starttls << "PLAIN";
    QTest::newRow("STARTTLS, LOGIN") << QStringList{"--security", "starttls", "--only-login"} + good << starttls
                                     << "LOGIN";
    QTest::newRow("TLS, PLAIN") << QStringList{"--security", "tls"} + good << int(MailSecurity::Tls) << "PLAIN";
    QTest::newRow("TLS, LOGIN, replies split at every byte")
        << QStringList{"--security", "tls", "--only-login", "--split", "1", "--split-pause", "0"} + good
        << int(MailSecurity::Tls) << "LOGIN";
    // A reply injected before the handshake must not be read as the answer to the EHLO inside it.
    QTest::newRow("STARTTLS, reply injected before TLS")
        << QStringList{"--security", "starttls", "--reply", "starttls=220 ready\\r\\n250 fake\\r\\n"} + good << starttls
        << "PLAIN";
}

void TestTlsMail::deliversOverTls()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(int, security);
    QFETCH(QString, mechanism);
    const Received got = send(peerArgs, MailSecurity(security));
    QCOMPARE(m_host->status(), QStringLiteral("Message Sent"));
    QCOMPARE(got.auth, QStringList{"ok alice " + mechanism});
    const QByteArray ehlo = "EHLO " + SocketControl::localHostName().toUtf8() + "\r\n";
    const QByteArray tlsPart = security == int(MailSecurity::StartTls) ? got.raw.mid(got.raw.indexOf("STARTTLS\r\n") + 10)
                                                                       : got.raw;
    if (security == int(MailSecurity::StartTls))
        QCOMPARE(got.raw.left(got.raw.size() - tlsPart.size()), ehlo + "STARTTLS\r\n");  // no AUTH before TLS
    QVERIFY2(tlsPart.startsWith(ehlo + "AUTH " + mechanism.toLatin1()), tlsPart.constData());
    QVERIFY(got.raw.endsWith(".\r\nQUIT\r\n"));
    QCOMPARE(got.messages.size(), 1);
    const QByteArray& m = got.messages.first();
    QVERIFY(QRegularExpression("^Date: [A-Z][a-z]{2}, \\d{2} [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\r\n"
                               "Message-ID: <[0-9a-f]{32}@example.org>\r\nFrom: ")
                .match(QString::fromUtf8(m))
                .hasMatch());
    // aiosmtpd offers 8BITMIME: the UTF-8 body goes as it is.
    QVERIFY(m.contains("Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                       "Neue Adresse: 203.0.113.7 \xc3\xbc" "ber TLS\r\n"));
}

void TestTlsMail::certificateNotTrusted_data()
{
    QTest::addColumn<QString>("certificate");  // empty: the peer's own self-signed one
    QTest::addColumn<int>("security");
    QTest::addColumn<bool>("trustCa");
    QTest::addColumn<QString>("reason");
    QTest::newRow("other name") << "othername" << int(MailSecurity::Tls) << true << "The host name did not match";
    QTest::newRow("expired") << "expired" << int(MailSecurity::StartTls) << true << "The certificate has expired";
    QTest::newRow("self-signed") << "" << int(MailSecurity::Tls) << true << "self-signed";
    QTest::newRow("CA not given") << "good" << int(MailSecurity::StartTls) << false << "issuer";
}

void TestTlsMail::certificateNotTrusted()
{
    QFETCH(QString, certificate);
    QFETCH(int, security);
    QFETCH(bool, trustCa);
    QFETCH(QString, reason);
    QStringList args{"--security", security == int(MailSecurity::Tls) ? "tls" : "starttls"};
    if (!certificate.isEmpty())
        args << "--tls-cert" << m_dir.filePath(certificate + ".pem") << "--tls-key" << m_dir.filePath(certificate + ".key");
    const Received got = send(args, MailSecurity(security), trustCa);
    const QString prefix = QStringLiteral("Error: certificate of 127.0.0.1 not trusted: ");
    QVERIFY2(m_host->status().startsWith(prefix) && m_host->status().contains(reason), qPrintable(m_host->status()));
    // Nothing after the handshake: no credentials, no mail, not even QUIT.
    const QByteArray before = security == int(MailSecurity::Tls) ? QByteArray() : "EHLO " + SocketControl::localHostName().toUtf8() + "\r\nSTARTTLS\r\n";
    QCOMPARE(got.raw, before);
}

void TestTlsMail::brokenTlsEndsAtOnce_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("status");
    const QString failed = QStringLiteral("Error: TLS handshake with 127.0.0.1 failed: ");
    QTest::newRow("garbage instead of ServerHello")
        << QStringList{"--security", "starttls", "--reply", "starttls=220 go\\r\\n", "--garbage", "starttls"}
        << int(MailSecurity::StartTls) << failed;
    QTest::newRow("close during the handshake")
        << QStringList{"--security", "starttls", "--reply", "starttls=220 go\\r\\n", "--close", "starttls"}
        << int(MailSecurity::StartTls) << failed;
    QTest::newRow("plain server on the TLS port") << QStringList{} << int(MailSecurity::Tls) << failed;
    QTest::newRow("STARTTLS not offered") << QStringList{} << int(MailSecurity::StartTls)
                                          << "Error: server does not offer STARTTLS";
}

void TestTlsMail::brokenTlsEndsAtOnce()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(int, security);
    QFETCH(QString, status);
    QElapsedTimer clock;
    clock.start();
    const Received got = send(peerArgs, MailSecurity(security));
    QVERIFY2(m_host->status().startsWith(status), qPrintable(m_host->status()));
    QVERIFY(clock.elapsed() < 5000);  // not the 30 s time-out
    QVERIFY2(!got.raw.contains("AUTH") && !got.raw.contains("MAIL") && !got.raw.contains("QUIT"), got.raw.constData());
}

void TestTlsMail::replyFaultsEndTheSession_data()
{
    QTest::addColumn<QStringList>("faultArgs");
    QTest::addColumn<QString>("status");
    const QString down = QStringLiteral("Error: 421 4.3.2 going down\r\n");
    for (const char* step : {"greeting", "starttls", "ehlo", "auth", "mail", "message"})
        QTest::newRow(step) << QStringList{"--reply", QString(step) + "=421 4.3.2 going down\\r\\n"} << down;
    QTest::newRow("refused password") << QStringList{"--password", "other"}
                                      << "Error: the server refused the user name or password";
    QTest::newRow("1 MiB reply line") << QStringList{"--flood", "auth", "--flood-bytes", "1048576"}
                                      << "Error: " + QString(512, QLatin1Char('x'));
    QTest::newRow("stall mid-dialogue") << QStringList{"--stall", "rcpt"}
                                        << "Error: Could not connect to 127.0.0.1 - timed out";
}

void TestTlsMail::replyFaultsEndTheSession()
{
    QFETCH(QStringList, faultArgs);
    QFETCH(QString, status);
    const QStringList good{"--tls-cert", m_dir.filePath("good.pem"), "--tls-key", m_dir.filePath("good.key")};
    const Received got = send(QStringList{"--security", "starttls"} + good + faultArgs, MailSecurity::StartTls, true, 20);
    QCOMPARE(m_host->status(), status);
    if (qstrcmp(QTest::currentDataTag(), "message") != 0)  // the server kept it before its 421
        QVERIFY(got.messages.isEmpty());
}

void TestTlsMail::quitWaitIsBounded()
{
    QElapsedTimer clock;
    clock.start();
    const Received got = send({"--security", "tls", "--tls-cert", m_dir.filePath("good.pem"), "--tls-key",
                               m_dir.filePath("good.key"), "--stall", "quit"},
                              MailSecurity::Tls);
    QCOMPARE(m_host->status(), QStringLiteral("Message Sent"));
    QVERIFY(got.raw.endsWith("QUIT\r\n"));
    QVERIFY(clock.elapsed() >= SmtpSession::QuitWaitMs && clock.elapsed() < SmtpSession::QuitWaitMs + 3000);
}

void TestTlsMail::messageDeclaresItsBody_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("eightBitMime");
    QTest::addColumn<QByteArray>("part");  // from the part's header to the end of the body
    QTest::newRow("ASCII") << "a=b" << true << QByteArray("Content-Type: text/plain\r\n\r\na=b\r\n");
    QTest::newRow("UTF-8 as 8bit") << "\u00e9t\u00e9" << true
                                   << QByteArray("charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n\xc3\xa9t\xc3\xa9\r\n");
    // RFC 2045 section 6.7: "=" and 8-bit bytes as =XX, a blank at a line end encoded, soft breaks
    // ("=" CR LF) keep lines within 76 characters; a "." at a line start is encoded too.
    QTest::newRow("UTF-8 as quoted-printable")
        << QString("\u00e9=1 \r\n.x" + QString(80, 'y')) << false
        << "charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n=C3=A9=3D1=20\r\n=2Ex"
               + QByteArray(71, 'y') + "=\r\n" + QByteArray(9, 'y') + "\r\n";
}

void TestTlsMail::messageDeclaresItsBody()
{
    QFETCH(QString, body);
    QFETCH(bool, eightBitMime);
    QFETCH(QByteArray, part);
    const ProductInfo product;
    const MailMessageExtras extras{"Tue, 12 May 2026 07:52:21 +0200", "<1@example.org>", eightBitMime};
    const QByteArray message = ComposeMailMessage("MIME", body, "a@example.org", "b@example.org", product, extras)->toUtf8();
    QVERIFY2(message.contains(part), message.constData());
    QVERIFY(message.startsWith("Date: Tue, 12 May 2026 07:52:21 +0200\r\nMessage-ID: <1@example.org>\r\nFrom: "));
    if (body == "a=b")  // an ASCII body keeps every other byte as before
        QCOMPARE(message.mid(message.indexOf("From: ")), ComposeMailMessage("MIME", body, "a@example.org", "b@example.org", product)->toUtf8());
}

void TestTlsMail::securityFromStore_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("security");
    QTest::newRow("older file, SSL box ticked") << QByteArray("chkSSL=1\n") << int(MailSecurity::Ssl2);
    QTest::newRow("older file, no SSL") << QByteArray("chkSSL=0\n") << int(MailSecurity::None);
    QTest::newRow("the key wins") << QByteArray("mailSecurity=starttls\nchkSSL=1\n") << int(MailSecurity::StartTls);
    QTest::newRow("any case, blanks") << QByteArray("mailSecurity= TLS \n") << int(MailSecurity::Tls);
    QTest::newRow("unknown value") << QByteArray("mailSecurity=ssl3\nchkSSL=1\n") << int(MailSecurity::Ssl2);
}

void TestTlsMail::securityFromStore()
{
    QFETCH(QByteArray, file);
    QFETCH(int, security);
    TempConfigHome home;
    home.writeSettingsFile("[Settings]\n" + file);
    Settings settings(home.settingsPath());
    NotifySettings values;
    LoadNotifySettings(settings, values);
    QCOMPARE(int(values.security), security);
}

void TestTlsMail::securityChoiceProposesItsPort()
{
    TestNotificationHost host;
    NoHooks hooks;
    frmConfigure dialog(host, hooks);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dialog.findChild<QComboBox*>("cboSecurity");
    auto* port = dialog.findChild<QLineEdit*>("txtPort");
    auto* note = dialog.findChild<QLabel*>("lblPasswordNote");
    QVERIFY(note->isVisible());  // "None" by default: the password travels readable
    // Each step down the list: its usual port, the stored key, the SSL 2.0 box for older versions.
    const QList<std::tuple<const char*, const char*, const char*>> steps{
        {"587", "starttls", "0"}, {"465", "tls", "0"}, {"465", "ssl2", "1"}};
    for (const auto& [usual, key, ssl] : steps) {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(port->text(), QString(usual));
        QCOMPARE(host.settings().read("mailSecurity", {}), QString(key));
        QCOMPARE(host.settings().read("chkSSL", {}), QString(ssl));
        QVERIFY(!note->isVisible());
    }
    port->setText("2525");  // a port of the user's own stays
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(port->text(), QStringLiteral("2525"));
    QCOMPARE(host.notifySettings().security, MailSecurity::Tls);
}

QTEST_MAIN(TestTlsMail)
#include "tst_tlsmail.moc"
