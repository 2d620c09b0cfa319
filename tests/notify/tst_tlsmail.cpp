// Mail over STARTTLS and implicit TLS against aiosmtpd on 127.0.0.1 with certificates made here by
// openssl from a test CA: delivery with AUTH PLAIN and LOGIN, certificate, handshake and reply faults
// with what the server received; the message's headers; the Security setting and list.
#include "PeerProcess.h"
#include "TestNotificationHost.h"
#include "app/Form1Hooks.h"
#include "notify/MailText.h"
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
    QByteArray raw; // what the client sent, decrypted
    QList<QByteArray> messages;
    QStringList auth;   // "ok alice PLAIN"
    bool ended = false; // the session ended within 20 s
};

struct NoHooks : NotificationHooks
{
    void cmdSend_Click() override {}
    void doHitURL() override {}
    void doLauchProg() override {}
    void showConfiguration() override {}
    void unload() override {}
};

bool openssl(const QStringList& args)
{
    QProcess p;
    p.start("openssl", args);
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

const QByteArray Ehlo = "EHLO " + SocketControl::localHostName().toUtf8() + "\r\n";

} // namespace

class TestTlsMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void deliversOverTls_data();
    void deliversOverTls();
    void tlsFaultsSendNothing_data();
    void tlsFaultsSendNothing();
    void replyFaultsEndTheSession_data();
    void replyFaultsEndTheSession();
    void quotedPrintableBody();
    void securityFromStore();
    void securityChoiceProposesItsPort();

private:
    QStringList cert(const QString& name) const
    {
        return {"--tls-cert", m_dir.filePath(name + ".pem"), "--tls-key", m_dir.filePath(name + ".key")};
    }
    Received send(const QStringList& peerArgs, MailSecurity security, bool trustCa = true);

    QTemporaryDir m_dir;
    std::unique_ptr<TestNotificationHost> m_host;
};

void TestTlsMail::initTestCase()
{
    QVERIFY(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Vistrel Test CA",
                     "-keyout", m_dir.filePath("ca.key"), "-out", m_dir.filePath("ca.pem")}));
    // A good one, one for another name, an expired one (valid until a day before it was made).
    for (const auto& [name, days, san] :
         {std::tuple{"good", "2", "IP:127.0.0.1"}, std::tuple{"othername", "2", "DNS:mail.example.org"},
          std::tuple{"expired", "-1", "IP:127.0.0.1"}}) {
        const QString base = m_dir.filePath(name);
        QFile ext(base + ".ext");
        QVERIFY(ext.open(QIODevice::WriteOnly) && ext.write(QByteArray("subjectAltName=") + san + "\n") > 0);
        ext.close();
        QVERIFY(openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", base + ".key", "-out", base + ".csr",
                         "-subj", QStringLiteral("/CN=") + name}));
        QVERIFY(openssl({"x509", "-req", "-in", base + ".csr", "-CA", m_dir.filePath("ca.pem"), "-CAkey",
                         m_dir.filePath("ca.key"), "-CAcreateserial", "-days", days, "-extfile", base + ".ext", "-out",
                         base + ".pem"}));
    }
}

Received TestTlsMail::send(const QStringList& peerArgs, MailSecurity security, bool trustCa)
{
    PeerProcess peer;
    QString error;
    if (!peer.start("smtp_peer.py", peerArgs, &error))
        qFatal("%s", qPrintable(error));
    m_host = std::make_unique<TestNotificationHost>();
    m_host->configureMail(peer.port(), true);
    NotifySettings& v = m_host->notifySettings();
    v.security = security;
    v.trustedCertificates = trustCa ? m_dir.filePath("ca.pem") : QString();
    v.body = QStringLiteral("Neue Adresse: $External$ \u00fcber TLS");
    v.useBody = true;
    SmtpSession session(*m_host);
    session.setTimerInterval(20); // 30 ticks: 0.6 s for a stalled step
    QSignalSpy finished(&session, &SmtpSession::finished);
    session.cmdSend_Click();
    Received r;
    r.ended = !session.isBusy() || finished.wait(20000);
    QTest::qWait(100); // the peer prints what it got
    for (const QByteArray& line : peer.stop().split('\n')) {
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

void TestTlsMail::deliversOverTls_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<MailSecurity>("security");
    QTest::addColumn<QString>("mechanism");
    QTest::newRow("STARTTLS, PLAIN") << QStringList{"--security", "starttls"} + cert("good") << MailSecurity::StartTls
                                     << "PLAIN";
    QTest::newRow("TLS, PLAIN") << QStringList{"--security", "tls"} + cert("good") << MailSecurity::Tls << "PLAIN";
    QTest::newRow("TLS, LOGIN, replies split at every byte")
        << QStringList{"--security", "tls", "--only-login", "--split", "1", "--split-pause", "0"} + cert("good")
        << MailSecurity::Tls << "LOGIN";
    // A reply injected before the handshake must not be read as the answer to the EHLO inside it.
    QTest::newRow("STARTTLS, reply injected before TLS")
        << QStringList{"--security", "starttls", "--reply", "starttls=220 ready\\r\\n250 fake\\r\\n"} + cert("good")
        << MailSecurity::StartTls << "PLAIN";
}

void TestTlsMail::deliversOverTls()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(MailSecurity, security);
    QFETCH(QString, mechanism);
    const Received got = send(peerArgs, security);
    QCOMPARE(m_host->status(), QStringLiteral("Message Sent"));
    QCOMPARE(got.auth, QStringList{"ok alice " + mechanism});
    const QByteArray plainPart = security == MailSecurity::StartTls ? Ehlo + "STARTTLS\r\n" : QByteArray();
    QVERIFY(got.raw.startsWith(plainPart + Ehlo + "AUTH " + mechanism.toLatin1())); // no AUTH before TLS
    QVERIFY(got.raw.endsWith(".\r\nQUIT\r\n"));
    QCOMPARE(got.messages.size(), 1);
    const QByteArray& m = got.messages.first();
    QVERIFY(QRegularExpression("^Date: [A-Z][a-z]{2}, \\d{2} [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\r\n"
                               "Message-ID: <[0-9a-f]{32}@example.test>\r\nFrom: ")
                .match(QString::fromUtf8(m))
                .hasMatch());
    // aiosmtpd offers 8BITMIME: the UTF-8 body goes as it is.
    QVERIFY(m.contains("Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                       "Neue Adresse: 203.0.113.7 \xc3\xbc"
                       "ber TLS\r\n"));
}

void TestTlsMail::tlsFaultsSendNothing_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<MailSecurity>("security");
    QTest::addColumn<bool>("trustCa");
    QTest::addColumn<QString>("status"); // the start of it
    QTest::addColumn<QString>("reason");
    const QString notTrusted = QStringLiteral("Error: certificate of 127.0.0.1 not trusted: ");
    const QString failed = QStringLiteral("Error: TLS handshake with 127.0.0.1 failed: ");
    const QStringList starttls{"--security", "starttls"};
    const QStringList tls{"--security", "tls"};
    QTest::newRow("other name") << tls + cert("othername") << MailSecurity::Tls << true << notTrusted
                                << "The host name did not match";
    QTest::newRow("expired") << starttls + cert("expired") << MailSecurity::StartTls << true << notTrusted
                             << "The certificate has expired";
    QTest::newRow("self-signed") << tls << MailSecurity::Tls << true << notTrusted << "self-signed";
    QTest::newRow("CA not given") << starttls + cert("good") << MailSecurity::StartTls << false << notTrusted
                                  << "issuer";
    QTest::newRow("garbage instead of ServerHello")
        << starttls + QStringList{"--reply", "starttls=220 go\\r\\n", "--garbage", "starttls"} << MailSecurity::StartTls
        << true << failed << "";
    QTest::newRow("close during the handshake")
        << starttls + QStringList{"--reply", "starttls=220 go\\r\\n", "--close", "starttls"} << MailSecurity::StartTls
        << true << failed << "";
    QTest::newRow("plain server on the TLS port") << QStringList{} << MailSecurity::Tls << true << failed << "";
    QTest::newRow("STARTTLS not offered")
        << QStringList{} << MailSecurity::StartTls << true << "Error: server does not offer STARTTLS"
        << "";
}

void TestTlsMail::tlsFaultsSendNothing()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(MailSecurity, security);
    QFETCH(bool, trustCa);
    QFETCH(QString, status);
    QFETCH(QString, reason);
    QElapsedTimer clock;
    clock.start();
    const Received got = send(peerArgs, security, trustCa);
    QVERIFY2(m_host->status().startsWith(status) && m_host->status().contains(reason), qPrintable(m_host->status()));
    QVERIFY(clock.elapsed() < 5000); // at once, not by a time-out
    // No credentials, no mail, not even QUIT: what came before TLS, then at most a ClientHello.
    const QByteArray before = peerArgs.contains("starttls")        ? Ehlo + "STARTTLS\r\n"
                              : security == MailSecurity::StartTls ? Ehlo
                                                                   : QByteArray();
    QVERIFY(got.raw.startsWith(before));
    for (const char* command : {"AUTH", "MAIL", "QUIT"})
        QVERIFY(!got.raw.contains(command));
}

void TestTlsMail::replyFaultsEndTheSession_data()
{
    QTest::addColumn<QStringList>("faultArgs");
    QTest::addColumn<QString>("status");
    for (const char* step : {"greeting", "starttls", "ehlo", "auth", "mail", "message"})
        QTest::newRow(step) << QStringList{"--reply", QString(step) + "=421 4.3.2 going down\\r\\n"}
                            << "Error: 421 4.3.2 going down\r\n";
    QTest::newRow("refused password") << QStringList{"--password", "other"}
                                      << "Error: the server refused the user name or password";
    QTest::newRow("1 MiB reply line") << QStringList{"--flood", "auth", "--flood-bytes", "1048576"}
                                      << "Error: " + QString(512, QLatin1Char('x'));
    QTest::newRow("stall mid-dialogue") << QStringList{"--stall", "rcpt"}
                                        << "Error: Could not connect to 127.0.0.1 - timed out";
    QTest::newRow("no reply to QUIT") << QStringList{"--stall", "quit"} << "Message Sent"; // ends after 2 s
}

void TestTlsMail::replyFaultsEndTheSession()
{
    QFETCH(QStringList, faultArgs);
    QFETCH(QString, status);
    const Received got = send(QStringList{"--security", "starttls"} + cert("good") + faultArgs, MailSecurity::StartTls);
    QVERIFY(got.ended);
    QCOMPARE(m_host->status(), status);
    // The server kept the message before its 421 to it, or before it stopped answering.
    QCOMPARE(got.messages.size(), QTest::currentDataTag() == QByteArray("message") || status == "Message Sent" ? 1 : 0);
}

void TestTlsMail::quotedPrintableBody()
{
    // RFC 2045 section 6.7: "=" and 8-bit bytes as =XX, a blank at a line end encoded, soft breaks
    // ("=" CR LF) keep lines within 76 characters; a "." at a line start is encoded too.
    const MailMessageExtras extras{"Tue, 12 May 2026 07:52:21 +0200", "<1@example.test>", false};
    const QByteArray message = ComposeMailMessage("MIME", "\u00e9=1 \r\n.x" + QString(80, 'y'), "a@example.test",
                                                  "b@example.test", ProductInfo(), extras)
                                   ->toUtf8();
    QVERIFY(message.startsWith("Date: Tue, 12 May 2026 07:52:21 +0200\r\nMessage-ID: <1@example.test>\r\nFrom: "));
    QVERIFY(message.contains("charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n=C3=A9=3D1=20\r\n"
                             "=2Ex" +
                             QByteArray(71, 'y') + "=\r\n" + QByteArray(9, 'y') + "\r\n"));
}

void TestTlsMail::securityFromStore()
{
    // Files without mailSecurity (older versions) say only whether the SSL 2.0 box was ticked.
    const QList<std::pair<QByteArray, MailSecurity>> files{{"chkSSL=1\n", MailSecurity::Ssl2},
                                                           {"mailSecurity= TLS \nchkSSL=1\n", MailSecurity::Tls},
                                                           {"mailSecurity=ssl3\nchkSSL=1\n", MailSecurity::Ssl2}};
    for (const auto& [file, security] : files) {
        TempConfigHome home;
        home.writeSettingsFile("[Settings]\n" + file);
        NotifySettings values;
        LoadNotifySettings(Settings(home.settingsPath()), values);
        QCOMPARE(values.security, security);
    }
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
    QVERIFY(note->isVisible()); // "None" by default: the password travels readable
    // Each step down the list: its usual port, the stored key, the SSL 2.0 box for older versions.
    for (const auto& [usual, key, ssl] :
         {std::tuple{"587", "starttls", "0"}, std::tuple{"465", "tls", "0"}, std::tuple{"465", "ssl2", "1"}}) {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(port->text(), QString(usual));
        QCOMPARE(host.settings().read("mailSecurity", {}), QString(key));
        QCOMPARE(host.settings().read("chkSSL", {}), QString(ssl));
        QVERIFY(!note->isVisible());
    }
    port->setText("2525"); // a port of the user's own stays
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(port->text(), QStringLiteral("2525"));
    QCOMPARE(host.notifySettings().security, MailSecurity::Tls);
}

QTEST_MAIN(TestTlsMail)
#include "tst_tlsmail.moc"
