// The notification mail's text: Base64, bodies, formats, quoted-printable, transparent body lines.
#include "notify/MailText.h"
#include "notify/Module6464.h"

#include <QtTest>

namespace {
MailBodyInputs inputs(bool useBody, const QString& bodyTemplate = {}, const QString& ipv6 = {})
{
    MailBodyInputs in;
    in.useBody = useBody;
    in.bodyTemplate = bodyTemplate;
    in.internalAddress = QStringLiteral("10.0.0.5");
    in.externalAddress = QStringLiteral("198.51.100.9");
    // "public|stable|prefix|previous prefix" for the machine's own IPv6 addresses as well.
    const QStringList v6 = ipv6.split(u'|');
    in.externalIPv6Address = v6[0];
    if (v6.size() == 4) {
        in.internalIPv6Address = v6[1];
        in.ipv6Prefix = v6[2];
        in.previousIPv6Prefix = v6[3];
    }
    in.now = QDateTime(QDate(2026, 5, 12), QTime(7, 52, 21));
    in.product = {QStringLiteral("Tarnwick IP Vistrel"), QStringLiteral("Tarnwick Software"),
                  QStringLiteral("tarnwicksoftware.com"), 3, 12};
    return in;
}
} // namespace

class TestMailText : public QObject
{
    Q_OBJECT
private slots:
    void base64_data();
    void base64();
    void body_data();
    void body();
    void message_data();
    void message();
    void nonAsciiBodyIsUtf8QuotedPrintable();
    void bodyLinesAreMadeTransparent_data();
    void bodyLinesAreMadeTransparent();
};

void TestMailText::base64_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lineLength");
    QTest::addColumn<QString>("expected");
    const char* rfc4648[][2] = {{"f", "Zg=="},        {"fo", "Zm8="},        {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [in, out] : rfc4648)
        QTest::addRow("RFC 4648 %s", in) << in << 0 << out;
    QTest::newRow("UTF-8 bytes, last sextets + and /") << QStringLiteral("\u00fb\u00ff") << 0 << "w7vDvw==";
    QTest::newRow("broken every 3") << "foobar" << 3 << "Zm9\r\nvYm\r\nFy";
    QTest::newRow("no break in front of the last character") << "foobar" << 7 << "Zm9vYmFy";
}

void TestMailText::base64()
{
    QFETCH(QString, text);
    QFETCH(int, lineLength);
    QTEST(Base64Encode(text, lineLength), "expected");
}

void TestMailText::body_data()
{
    QTest::addColumn<bool>("useBody");
    QTest::addColumn<QString>("bodyTemplate");
    QTest::addColumn<QString>("ipv6");
    QTest::addColumn<QString>("expected");
    const QString builtIn = "This message is an automatic notification by Tarnwick IP Vistrel that your IP Address "
                            "has changed to the following:\r\n\r\nExternal IP Address: 198.51.100.9\r\n%1Internal IP "
                            "Address: 10.0.0.5\r\n%2\r\nDate/Time: @\r\n\r\nThank you,\r\n\r\nTarnwick IP Vistrel by "
                            "Tarnwick Software\r\nhttp://www.tarnwicksoftware.com";
    QTest::newRow("built-in") << false << ""
                              << "none" << builtIn.arg("", "");
    QTest::newRow("built-in, IPv6") << false << ""
                                    << "2001:db8::1" << builtIn.arg("External IPv6 Address: 2001:db8::1\r\n", "");
    const QString renumbered = "2001:db8:2::a|2001:db8:2::5|2001:db8:2::/64|2001:db8:1::/64";
    QTest::newRow("built-in, renumbered")
        << false << "" << renumbered
        << builtIn.arg(
               "External IPv6 Address: 2001:db8:2::a\r\n",
               "Internal IPv6 Address: 2001:db8:2::5\r\nIPv6 Prefix: 2001:db8:2::/64 (was 2001:db8:1::/64)\r\n");
    QTest::newRow("own IPv6 placeholders") << true << "$InternalIPv6$ $ipv6prefix$ $ExternalIPv6$" << renumbered
                                           << "2001:db8:2::5 2001:db8:2::/64 2001:db8:2::a";
    QTest::newRow("placeholders in any letter case") << true << "$internal$ $EXTERNAL$ $InTeRnAl$ $InternalIP$" << ""
                                                     << "10.0.0.5 198.51.100.9 10.0.0.5 $InternalIP$";
}

void TestMailText::body()
{
    QFETCH(bool, useBody);
    QFETCH(QString, bodyTemplate);
    QFETCH(QString, ipv6);
    QFETCH(QString, expected);
    const MailBodyInputs in = inputs(useBody, bodyTemplate, ipv6);
    QCOMPARE(ComposeMailBody(in), expected.replace(QLatin1Char('@'), mailDateTimeText(in.now)));
    QVERIFY(mailDateTimeText(in.now).contains(QLatin1String("21"))); // the seconds are shown
}

void TestMailText::message_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("expected");
    QTest::newRow("MIME") << "MIME" << "From: \"Tarnwick IP Vistrel\" <from@example.org>\r\nTo: \"to@example.org\" "
                             "<to@example.org>\r\nSubject: Tarnwick IP Vistrel - IP Address Changed\r\nMIME-Version: "
                             "1.0\r\nContent-Type: multipart/mixed; boundary=\"QUAVIX\"\r\nX-Mailer: Tarnwick IP "
                             "Vistrel\r\nX-MimeOLE: Produced by Tarnwick IP Vistrel 3.12\r\n\r\nThis is a multi-part "
                             "message in MIME format.\r\n--QUAVIX\r\nContent-Type: text/plain\r\n\r\nline one\r\nline "
                             "two\r\n\r\n--QUAVIX--\r\n.\r\n";
    QTest::newRow("UUEncode") << "UUEncode"
                              << "From: <from@example.org>\r\nTo: to@example.org\r\nSubject: Tarnwick IP Vistrel - IP "
                                 "Address Changed\r\nX-Mailer: Tarnwick IP Vistrel\r\nContent-Type: "
                                 "text/plain;charset=us-ascii\r\n\r\nline one\r\nline two\r\n\r\n\r\n.\r\n";
    QTest::newRow("another name: nothing") << "mime" << "";
}

void TestMailText::message()
{
    QFETCH(QString, encoding);
    const auto message =
        ComposeMailMessage(encoding, QStringLiteral("line one\r\nline two"), QStringLiteral("from@example.org"),
                           QStringLiteral("to@example.org"), inputs(false).product);
    QTEST(message.value_or(QString()), "expected");
}

void TestMailText::nonAsciiBodyIsUtf8QuotedPrintable()
{
    // RFC 2045 section 6.7; a "." at a line start is encoded too.
    const MailMessageExtras extras{"Tue, 12 May 2026 07:52:21 +0200", "<1@example.test>", false};
    const QByteArray message = ComposeMailMessage("MIME", "\u00e9=1 \r\n.x" + QString(80, 'y'), "a@example.test",
                                                  "b@example.test", inputs(false).product, extras)
                                   ->toUtf8();
    QVERIFY(message.startsWith("Date: Tue, 12 May 2026 07:52:21 +0200\r\nMessage-ID: <1@example.test>\r\nFrom: "));
    QVERIFY(message.contains("charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n=C3=A9=3D1=20\r\n"
                             "=2Ex" +
                             QByteArray(71, 'y') + "=\r\n" + QByteArray(9, 'y') + "\r\n"));
    QVERIFY(ComposeMailMessage("UUEncode", "\u00e9", "a@example.test", "b@example.test", inputs(false).product, extras)
                ->contains("\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"));
}

void TestMailText::bodyLinesAreMadeTransparent_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("sent");
    QTest::newRow("a lone dot would end the data") << "a\r\n.\r\nb" << "a\r\n..\r\nb";
    QTest::newRow("dot first, dots inside") << ".x.\r\n.." << "..x.\r\n...";
    QTest::newRow("bare line ends become CR LF") << "a\n.b\rc" << "a\r\n..b\r\nc";
}

void TestMailText::bodyLinesAreMadeTransparent()
{
    QFETCH(QString, body);
    QTEST(transparentBody(body), "sent");
}

QTEST_GUILESS_MAIN(TestMailText)
#include "tst_mailtext.moc"
