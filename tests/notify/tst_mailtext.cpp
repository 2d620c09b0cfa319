// The notification mail's text: both bodies, both formats, and the transparency of body lines.
#include "notify/MailText.h"

#include <QtTest>

namespace {

ProductInfo product()
{
    ProductInfo p;
    p.productName = QStringLiteral("Tarnwick IP Vistrel");
    p.companyName = QStringLiteral("Tarnwick Software");
    p.website = QStringLiteral("tarnwicksoftware.com");
    p.majorVersion = 3;
    p.minorVersion = 12;
    return p;
}

MailBodyInputs inputs()
{
    MailBodyInputs in;
    in.internalAddress = QStringLiteral("10.0.0.5");
    in.externalAddress = QStringLiteral("198.51.100.9");
    in.now = QDateTime(QDate(2026, 5, 12), QTime(7, 52, 21));
    in.product = product();
    return in;
}

} // namespace

class TestMailText : public QObject
{
    Q_OBJECT
private slots:
    void builtInBody();
    void userBody_data();
    void userBody();
    void mimeMessage();
    void uuencodeMessage();
    void emptyBodyInMime();
    void otherEncodingsComposeNothing_data();
    void otherEncodingsComposeNothing();
    void bodyLinesAreMadeTransparent_data();
    void bodyLinesAreMadeTransparent();
};

void TestMailText::builtInBody()
{
    const MailBodyInputs in = inputs();
    const QString expected = QStringLiteral(
        "This message is an automatic notification by Tarnwick IP Vistrel that your IP Address has changed to "
        "the following:\r\n\r\nExternal IP Address: 198.51.100.9\r\nInternal IP Address: 10.0.0.5\r\n\r\n"
        "Date/Time: %1\r\n\r\nThank you,\r\n\r\nTarnwick IP Vistrel by Tarnwick Software\r\n"
        "http://www.tarnwicksoftware.com")
                                 .arg(mailDateTimeText(in.now));
    QCOMPARE(ComposeMailBody(in), expected);
    // One value of date and time: the date and the seconds of the clock both appear.
    QVERIFY(mailDateTimeText(in.now).contains(QLatin1String("21")));
    QVERIFY(mailDateTimeText(in.now).contains(QLatin1String("12")));
}

void TestMailText::userBody_data()
{
    QTest::addColumn<QString>("bodyTemplate");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default template") << "Internal: $Internal$\r\nExternal: $External$"
                                      << "Internal: 10.0.0.5\r\nExternal: 198.51.100.9";
    QTest::newRow("small and capital letters") << "$internal$ $EXTERNAL$ $InTeRnAl$"
                                               << "10.0.0.5 198.51.100.9 10.0.0.5";
    QTest::newRow("no placeholder, no line end added") << "plain text" << "plain text";
    QTest::newRow("url forms are not the body's") << "$InternalIP$" << "$InternalIP$";
    QTest::newRow("empty") << "" << "";
}

void TestMailText::userBody()
{
    QFETCH(QString, bodyTemplate);
    QFETCH(QString, expected);
    MailBodyInputs in = inputs();
    in.useBody = true;
    in.bodyTemplate = bodyTemplate;
    QCOMPARE(ComposeMailBody(in), expected);
}

void TestMailText::mimeMessage()
{
    const auto message = ComposeMailMessage(QStringLiteral("MIME"), QStringLiteral("line one\r\nline two"),
                                            QStringLiteral("from@example.org"), QStringLiteral("to@example.org"),
                                            product());
    QVERIFY(message);
    QCOMPARE(*message, QStringLiteral("From: \"Tarnwick IP Vistrel\" <from@example.org>\r\n"
                                      "To: \"to@example.org\" <to@example.org>\r\n"
                                      "Subject: Tarnwick IP Vistrel - IP Address Changed\r\n"
                                      "MIME-Version: 1.0\r\n"
                                      "Content-Type: multipart/mixed; boundary=\"QUAVIX\"\r\n"
                                      "X-Mailer: Tarnwick IP Vistrel\r\n"
                                      "X-MimeOLE: Produced by Tarnwick IP Vistrel 3.12\r\n"
                                      "\r\n"
                                      "This is a multi-part message in MIME format.\r\n"
                                      "--QUAVIX\r\n"
                                      "Content-Type: text/plain\r\n"
                                      "\r\n"
                                      "line one\r\nline two\r\n"
                                      "\r\n"
                                      ".\r\n"));
}

void TestMailText::uuencodeMessage()
{
    const auto message = ComposeMailMessage(QStringLiteral("UUEncode"), QStringLiteral("body"),
                                            QStringLiteral("from@example.org"), QStringLiteral("to@example.org"),
                                            product());
    QVERIFY(message);
    QCOMPARE(*message, QStringLiteral("From: <from@example.org>\r\n"
                                      "To: to@example.org\r\n"
                                      "Subject: Tarnwick IP Vistrel - IP Address Changed\r\n"
                                      "X-Mailer: Tarnwick IP Vistrel\r\n"
                                      "Content-Type: text/plain;charset=us-ascii\r\n"
                                      "\r\n"
                                      "body\r\n"
                                      "\r\n"
                                      "\r\n"
                                      ".\r\n"));
}

void TestMailText::emptyBodyInMime()
{
    const auto message = ComposeMailMessage(QStringLiteral("MIME"), QString(), QStringLiteral("f@x"),
                                            QStringLiteral("t@x"), product());
    QVERIFY(message);
    QVERIFY(message->endsWith(QLatin1String("Content-Type: text/plain\r\n\r\n\r\n\r\n.\r\n")));
}

void TestMailText::otherEncodingsComposeNothing_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::newRow("small letters") << "mime";
    QTest::newRow("capitals") << "UUENCODE";
    QTest::newRow("blank after") << "MIME ";
    QTest::newRow("empty") << "";
}

void TestMailText::otherEncodingsComposeNothing()
{
    QFETCH(QString, encoding);
    QVERIFY(!ComposeMailMessage(encoding, QStringLiteral("b"), QStringLiteral("f@x"), QStringLiteral("t@x"), product()));
}

void TestMailText::bodyLinesAreMadeTransparent_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("sent");
    QTest::newRow("a lone dot would end the data") << "a\r\n.\r\nb" << "a\r\n..\r\nb";
    QTest::newRow("dot first in the body") << ".hidden" << "..hidden";
    QTest::newRow("dot inside a line stays") << "a.b\r\n x." << "a.b\r\n x.";
    QTest::newRow("two dots become three") << "..\r\n" << "...\r\n";
    QTest::newRow("bare line ends become CR LF") << "a\n.b\rc" << "a\r\n..b\r\nc";
    QTest::newRow("dot at the end") << "end\r\n." << "end\r\n..";
}

void TestMailText::bodyLinesAreMadeTransparent()
{
    QFETCH(QString, body);
    QFETCH(QString, sent);
    QCOMPARE(transparentBody(body), sent);
    // In a whole message, no line of the body can be the end-of-data line.
    const auto message = ComposeMailMessage(QStringLiteral("UUEncode"), body, QStringLiteral("f@x"),
                                            QStringLiteral("t@x"), product());
    QVERIFY(message);
    QCOMPARE(message->indexOf(QLatin1String("\r\n.\r\n")), message->size() - 5);
}

QTEST_GUILESS_MAIN(TestMailText)
#include "tst_mailtext.moc"
