// The SSL 2.0 mail channel: the readers on bad input, whole mails through ssl2_smtp_peer.py.
#include "PeerProcess.h"
#include "TempConfigHome.h"
#include "core/AddressWatcher.h"
#include "core/Settings.h"
#include "app/WatcherNotifications.h"
#include "TestNotificationHost.h"
#include "notify/MailText.h"
#include "notify/SmtpSession.h"
#include "core/MessageBox.h"
#include "secure/SecureMailTransport.h"
#include "secure/Ssl2ServerHello.h"

#include <QTemporaryDir>
#include <QtTest>

#include <openssl/crypto.h>
#include <openssl/provider.h>

namespace {
struct RecordingMessageBox : MessageBox
{
    void show(const QString& text, Icon, const QString& = QString()) override { shown << text; }
    bool ask(const QString&, const QString& = QString()) override { return false; }
    QStringList shown;
};

/// A self-signed certificate (DER) with a 1024-bit RSA key of public exponent @p exponent, made by openssl.
QByteArray certificate(const QString& path, const QString& exponent)
{
    const bool made =
        runOpenssl({"req", "-x509", "-newkey", "rsa:1024", "-pkeyopt", "rsa_keygen_pubexp:" + exponent, "-nodes",
                    "-keyout", path + ".key", "-outform", "DER", "-out", path, "-days", "2", "-subj", "/CN=127.0.0.1"});
    QFile der(path);
    return made && der.open(QIODevice::ReadOnly) ? der.readAll() : QByteArray();
}

/// Whether OpenSSL loads its "legacy" provider without the module OPENSSL_MODULES would name.
bool legacyProviderBuiltIn()
{
    OSSL_LIB_CTX* context = OSSL_LIB_CTX_new();
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(context, "legacy");
    if (legacy)
        OSSL_PROVIDER_unload(legacy);
    OSSL_LIB_CTX_free(context);
    return legacy != nullptr;
}

QByteArray helloBody(const QByteArray& certificate, const QByteArray& connectionId)
{
    const auto u16 = [](qsizetype v) { return QByteArray(1, char(v >> 8)) + char(v & 0xFF); };
    return QByteArray::fromHex("0400010002") + u16(certificate.size()) + u16(3) + u16(connectionId.size()) +
           certificate + QByteArray::fromHex("010080") + connectionId;
}
} // namespace

class TestSecureMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void threeByteHeaderIsRefused();
    void serverHello_data();
    void serverHello();
    void wholeMail_data();
    void wholeMail();
    void handshakeFailures_data();
    void handshakeFailures();
    void failureBoxOpensAfterTheSocketEvent();

private:
    quint16 port(const QString& behaviour) const { return m_ssl2.readyField(behaviour).toUShort(); }
    QTemporaryDir m_dir;
    QByteArray m_certificate;
    PeerProcess m_smtp, m_ssl2;
};

void TestSecureMail::initTestCase()
{
    m_certificate = certificate(m_dir.filePath(QStringLiteral("cert")), QStringLiteral("65537"));
    QVERIFY2(m_smtp.start(QStringLiteral("smtp_peer.py"), {"--user", "vistrel", "--password", "secret"}) &&
                 m_ssl2.start(QStringLiteral("ssl2_smtp_peer.py"), {"--relay", QString::number(m_smtp.port())}),
             qPrintable(m_smtp.error() + m_ssl2.error()));
}

void TestSecureMail::threeByteHeaderIsRefused()
{
    Ssl2RecordReader reader; // a header with padding, which no RC4 server sends
    reader.append(QByteArray::fromHex("001c00") + QByteArray(28, 'p'));
    QByteArray body;
    QCOMPARE(reader.next(&body), Ssl2RecordReader::Result::Malformed);
}

void TestSecureMail::serverHello_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    const QByteArray id(16, 'i'), good = helloBody(m_certificate, id);
    const qsizetype at = m_certificate.indexOf(QByteArray::fromHex("30818902818100"));
    QTest::newRow("well formed") << good << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("fixed fields cut") << good.left(10) << false;
    QTest::newRow("certificate runs past the end") << good.left(41) << false;
    QTest::newRow("bytes after the connection-id") << good + "x" << false;
    QTest::newRow("modulus cut short") << helloBody(m_certificate.left(at + 100), id) << false;
    QTest::newRow("exponent 65539") << helloBody(certificate(m_dir.filePath(QStringLiteral("e")), "65539"), id)
                                    << false;
}

void TestSecureMail::serverHello()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    Ssl2ServerHello hello;
    QByteArray modulus;
    QString error;
    QCOMPARE(Ssl2ServerHello::parse(body, &hello, &error) &&
                 Ssl2ServerHello::modulusFromCertificate(hello.certificate, &modulus, &error),
             ok);
    QCOMPARE(error.isEmpty(), ok);
    if (ok)
        QCOMPARE(hello.connectionId + char(modulus.size()), QByteArray(16, 'i') + char(128));
}

void TestSecureMail::wholeMail_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<bool>("auth");
    QTest::addColumn<int>("messageBytes"); // 0: a short one
    QTest::newRow("AUTH LOGIN") << "PORT" << true << 0;
    QTest::newRow("every server byte in a write of its own, no AUTH") << "trickle" << false << 0;
    // 32751 data bytes fill a record of 32767 bytes with their MAC; one more makes a second record.
    QTest::newRow("32751 data bytes: one record") << "PORT" << false << 32751;
    QTest::newRow("32752 data bytes: two records") << "PORT" << false << 32752;
}

void TestSecureMail::wholeMail()
{
    QFETCH(QString, behaviour);
    QFETCH(bool, auth);
    QFETCH(int, messageBytes);
    TestNotificationHost host;
    host.configureMail(port(behaviour), auth, MailSecurity::Ssl2, QStringLiteral("vistrel"), QStringLiteral("secret"));
    NotifySettings& v = host.notifySettings();
    v.useBody = true;
    v.body.clear();
    // "Date:" and "Message-ID:" differ on every send: stand-ins of their length, removed before comparing.
    const MailMessageExtras extras{"Sun, 06 Dec 2026 21:40:00 +0000", "<" + QString(32, 'f') + "@example.test>"};
    const auto compose = [&] {
        return ComposeMailMessage("MIME", v.body, v.emailFrom, v.emailTo, host.product(), extras)->toUtf8();
    };
    const int fixed = int(compose().size()); // lines of 76 characters, none cut inside its line end
    v.body = (QString(76, QLatin1Char('x')) + "\r\n").repeated(500).left(std::max(messageBytes - fixed, 1));
    v.body.back() = QLatin1Char('x');
    SecureMailTransport secure([&host](const QString& text) { host.setStatus(text); });
    QSignalSpy failed(&secure, &MailTransport::failed);
    SmtpSession session(host);
    session.setSecureTransport(&secure);
    QSignalSpy finished(&session, &SmtpSession::finished);
    m_smtp.readLines();
    session.startMail();
    QVERIFY(finished.wait(20000));
    QCOMPARE(host.status(), QStringLiteral("Message Sent"));
    QVERIFY(host.statuses.contains(QStringLiteral("Secure Session Connected")) && failed.isEmpty());
    QTest::qWait(200);
    const QStringList lines = m_smtp.readLines(100);
    QCOMPARE(lines.filter(QStringLiteral("AUTH ok")).size(), int(auth));
    QVERIFY(lines.contains(QStringLiteral("RAW UVVJVA0K"))); // "QUIT\r\n" reached the server
    const QStringList messages = lines.filter(QRegularExpression(QStringLiteral("^MESSAGE ")));
    QCOMPARE(messages.size(), 1);
    const QByteArray expected = compose();
    QVERIFY(messageBytes < fixed || expected.size() == messageBytes);
    static const QRegularExpression dateAndId(QStringLiteral("^Date: [^\r]*\r\nMessage-ID: <[^>]*>\r\n"));
    const auto withoutDateAndId = [](const QByteArray& m) { return QString::fromUtf8(m).remove(dateAndId).toUtf8(); };
    QCOMPARE(withoutDateAndId(QByteArray::fromBase64(messages.first().mid(8).toLatin1())),
             withoutDateAndId(expected.chopped(3)));
    QCOMPARE(m_ssl2.readLines().filter(QStringLiteral("FAIL")), QStringList());
}

void TestSecureMail::handshakeFailures_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("established");
    QTest::newRow("wrong challenge in SERVER-VERIFY") << "bad_challenge" << SSLv2::ChallengeError << false;
    QTest::newRow("SERVER-VERIFY too short for its fields") << "short_verify" << SSLv2::MessageError << false;
    QTest::newRow("wrong MAC in SERVER-VERIFY") << "bad_verify_mac" << SSLv2::MacError << false;
    QTest::newRow("wrong MAC in SERVER-FINISHED") << "bad_finished_mac" << SSLv2::MacError << false;
    QTest::newRow("wrong MAC in application data") << "bad_data_mac" << SSLv2::DataMacError << true;
    QTest::newRow("data record shorter than a MAC") << "short_data" << SSLv2::MessageError << true;
    QTest::newRow("certificate without a 1024-bit key") << "no_modulus" << SSLv2::CertificateError << false;
    QTest::newRow("SERVER-HELLO shorter than its fields") << "short_hello" << SSLv2::MessageError << false;
    QTest::newRow("RC4 provider missing") << "PORT" << SecureMailTransport::providerMissingText() << false;
}

void TestSecureMail::handshakeFailures()
{
    QFETCH(QString, behaviour);
    QFETCH(QString, message);
    QFETCH(bool, established);
    TestNotificationHost host;
    host.configureMail(port(behaviour), false, MailSecurity::Ssl2, {}, {});
    SecureMailTransport secure([&host](const QString& text) { host.setStatus(text); });
    SmtpSession session(host);
    session.setSecureTransport(&secure);
    QSignalSpy connected(&secure, &MailTransport::connected);
    QSignalSpy received(&secure, &MailTransport::received);
    QSignalSpy failed(&secure, &MailTransport::failed);
    QSignalSpy finished(&session, &SmtpSession::finished);
    if (message == SecureMailTransport::providerMissingText()) {     // OpenSSL looks for its providers in an empty
        qputenv("OPENSSL_MODULES", QFile::encodeName(m_dir.path())); // folder: "legacy" (RC4) cannot be loaded
        if (legacyProviderBuiltIn()) {                               // the Windows build's libcrypto holds it
            qunsetenv("OPENSSL_MODULES");
            QSKIP("OpenSSL's legacy provider is part of libcrypto here: it cannot be missing");
        }
    }
    session.startMail();
    QVERIFY(finished.wait(10000)); // at once, not after the session's 30-tick time-out
    qunsetenv("OPENSSL_MODULES");
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().first().toString(), message); // the text its message box shows
    QCOMPARE(host.status(), "Error: " + message.section("\r\n", 0, 0));
    QCOMPARE(secure.state(), MailTransport::State::Closed);
    QCOMPARE(connected.count(), int(established));
    QCOMPARE(received.count(), 0); // nothing that failed its check reaches the mail session
    QCOMPARE(secure.session().state(), SSLv2::State::Idle); // keys dropped
}

void TestSecureMail::failureBoxOpensAfterTheSocketEvent()
{
    TempConfigHome home;
    Settings settings(home.settingsPath());
    AddressWatcher watcher(settings);
    RecordingMessageBox boxes;
    settings.write(Key::MailPassword, QStringLiteral("kept"));
    {
        WatcherNotifications notifications(watcher, settings, &boxes);
        notifications.passwords.start(); // the password the store holds is the one the notifiers use
        QCOMPARE(watcher.notifySettings().password, QStringLiteral("kept"));
        emit notifications.secureMail.failed(QStringLiteral("first"));
        QCOMPARE(boxes.shown, QStringList()); // never inside the transport's own event
        QTRY_COMPARE(boxes.shown, QStringList{"first"});
        emit notifications.secureMail.failed(QStringLiteral("last"));
    } // the event loop has ended (--once): shown as the notifications end
    QCOMPARE(boxes.shown, (QStringList{"first", "last"}));
}

QTEST_GUILESS_MAIN(TestSecureMail)
#include "tst_securemail.moc"
