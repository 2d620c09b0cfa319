// Framing of the mail server's replies, reply codes, and the port text.
#include "notify/SmtpReplyReader.h"
#include "notify/SmtpSession.h"

#include <QtTest>

class TestSmtpReplyReader : public QObject
{
    Q_OBJECT
private slots:
    void framing_data();
    void framing();
    void takeEmptiesTheBuffer();
    void endlessTextIsCut();
    void replyCode_data();
    void replyCode();
    void portFromText_data();
    void portFromText();
};

void TestSmtpReplyReader::framing_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("complete");
    QTest::newRow("one line") << QByteArrayList{"220 ready\r\n"} << true;
    QTest::newRow("no line end yet") << QByteArrayList{"220 ready"} << false;
    QTest::newRow("CR without LF") << QByteArrayList{"220 ready\r"} << false;
    QTest::newRow("line end in the next piece") << QByteArrayList{"220 ready\r", "\n"} << true;
    QTest::newRow("multi-line in one piece") << QByteArrayList{"250-a\r\n250-b\r\n250 c\r\n"} << true;
    QTest::newRow("multi-line split at a line end") << QByteArrayList{"250-a\r\n", "250-b\r\n"} << false;
    QTest::newRow("multi-line split, then the last line") << QByteArrayList{"250-a\r\n", "250 b\r\n"} << true;
    QTest::newRow("code alone on the last line") << QByteArrayList{"250-a\r\n250\r\n"} << true;
    QTest::newRow("text without a code ends a reply") << QByteArrayList{"garbage\r\n"} << true;
    QTest::newRow("short continuation-looking line") << QByteArrayList{"25-\r\n"} << true;
    QTest::newRow("empty line") << QByteArrayList{"\r\n"} << true;
    QTest::newRow("nothing") << QByteArrayList{""} << false;
}

void TestSmtpReplyReader::framing()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, complete);
    SmtpReplyReader reader;
    for (const QByteArray& piece : pieces)
        reader.append(piece);
    QCOMPARE(reader.isComplete(), complete);
    QCOMPARE(reader.buffer(), pieces.join());
}

void TestSmtpReplyReader::takeEmptiesTheBuffer()
{
    SmtpReplyReader reader;
    reader.append("250-one\r\n250 two\r\n");
    QCOMPARE(reader.take(), QByteArray("250-one\r\n250 two\r\n"));
    QVERIFY(!reader.isComplete());
    QVERIFY(reader.buffer().isEmpty());
    reader.append("left over");
    reader.clear();
    QVERIFY(reader.buffer().isEmpty());
    reader.append("220 x\r\n");
    QCOMPARE(reader.take(), QByteArray("220 x\r\n"));
}

void TestSmtpReplyReader::endlessTextIsCut()
{
    SmtpReplyReader reader;
    const QByteArray chunk(4096, 'x');
    for (int i = 0; i < 40; ++i)
        reader.append(chunk);
    QCOMPARE(reader.buffer().size(), SmtpReplyReader::MaxReplyBytes);
    QVERIFY(reader.isComplete());
    QCOMPARE(SmtpReplyReader::replyCode(reader.take()), 0);
}

void TestSmtpReplyReader::replyCode_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("code");
    QTest::newRow("plain") << QByteArray("220 ready\r\n") << 220;
    QTest::newRow("hyphen after the code") << QByteArray("250-first\r\n250 last\r\n") << 250;
    QTest::newRow("code alone") << QByteArray("354\r\n") << 354;
    QTest::newRow("no digits") << QByteArray("hello\r\n") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("digits then letters") << QByteArray("25x0 no\r\n") << 25;
    QTest::newRow("leading blank") << QByteArray(" 220 x\r\n") << 0;
    QTest::newRow("very long number") << QByteArray("2200000000000000000 x\r\n") << 220000000;
}

void TestSmtpReplyReader::replyCode()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, code);
    QCOMPARE(SmtpReplyReader::replyCode(reply), code);
}

void TestSmtpReplyReader::portFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("25") << "25" << 25;
    QTest::newRow("leading blanks") << "   25" << 25;
    QTest::newRow("text after the digits") << "587abc" << 587;
    QTest::newRow("no digits") << "smtp" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("largest") << "65535" << 65535;
    QTest::newRow("too large") << "65536" << 0;
    QTest::newRow("far too large") << "99999999999999999999" << 0;
    QTest::newRow("negative") << "-25" << 0;
}

void TestSmtpReplyReader::portFromText()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(int(SmtpSession::portFromText(text)), port);
}

QTEST_GUILESS_MAIN(TestSmtpReplyReader)
#include "tst_smtpreplyreader.moc"
