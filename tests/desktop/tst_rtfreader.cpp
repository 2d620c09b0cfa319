// The RTF subset reader: the project's own Help.rtf, the escapes it supports, and broken input of every
// kind, which must never crash, hang or lose the text that can still be read.
#include "desktop/RtfReader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

class TestRtfReader : public QObject
{
    Q_OBJECT
private slots:
    void projectHelpFile();
    void text_data();
    void text();
    void formatting();
    void brokenInput_data();
    void brokenInput();
    void deepNestingIsBounded();
    void oneMebibyte_data();
    void oneMebibyte();
};

void TestRtfReader::projectHelpFile()
{
    QFile file(QStringLiteral(VISTREL_SOURCE_DIR "/resources/Help.rtf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const RtfDocument doc = RtfReader::read(file.readAll());
    QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(QLatin1Char('\n'))));
    const QString text = doc.plainText();
    QVERIFY(text.startsWith(QStringLiteral("Tarnwick IP Vistrel 3.3\n")));
    QCOMPARE(doc.paragraphs.first().alignment, RtfAlignment::Center);
    QVERIFY(doc.paragraphs.first().runs.first().bold);
    QCOMPARE(doc.paragraphs.first().runs.first().halfPoints, 32);
    // Every control of the main window, its menus, the tray and overlay menus and this window is explained.
    const QStringList controls{
        "Internal:", "External:", "Copy", "IP Address:", "Domain Name:", "Convert", "Refresh",
        "Turn on IP Address Overlay", "Visit tarnwicksoftware.com", "IP Address/Domain:", "Whois",
        "Auto Refresh Every:", "Run at startup", "Start minimized", "Use Email Notification",
        "Use Web Notification", "Use Program Notification", "Setup", "Minimize", "Exit", "Copy Internal IP",
        "Copy External IP", "Overlay On/Off", "View Help", "About this software", "Show",
        "Address Overlay On/Off", "Hide", "Show at Startup", "Mail Server:", "Port:", "Email Address - To:",
        "Email Address - From:", "Username:", "Password:", "Use Authentication", "Security:", "Trusted certificates:",
        "Encoding:", "Send Test Message", "File Path:", "Arguments:", "URL:", "Test Now"};
    for (const QString& control : controls)
        QVERIFY2(text.contains(control), qPrintable(control));
    // The font, colour and information groups are not text.
    QVERIFY(!text.contains(QStringLiteral("Verdana")));
    QVERIFY(!text.contains(QStringLiteral("written by hand")));
    QVERIFY(text.contains(QStringLiteral("Help \u2192 View Help")));               // \u8594?
    QVERIFY(text.contains(QStringLiteral("\u00a9 Tarnwick Software \u2013 tarn")));  // \'a9 and \'96
    QVERIFY(text.contains(QStringLiteral("provider\u2019s server")));            // \rquote
}

void TestRtfReader::text_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("{\\rtf1 Hello}") << QStringLiteral("Hello");
    QTest::newRow("delimiter space eaten") << QByteArray("{\\rtf1\\b bold\\b0  plain}") << QStringLiteral("bold plain");
    QTest::newRow("par") << QByteArray("{\\rtf1 a\\par b\\par}") << QStringLiteral("a\nb");
    QTest::newRow("line ends in the file are not text") << QByteArray("{\\rtf1 a\r\nb}") << QStringLiteral("ab");
    QTest::newRow("escaped braces and backslash") << QByteArray("{\\rtf1 \\{x\\}\\\\}") << QStringLiteral("{x}\\");
    QTest::newRow("hex Latin-1") << QByteArray("{\\rtf1 caf\\'e9}") << QStringLiteral("caf\u00e9");
    QTest::newRow("hex Windows-1252") << QByteArray("{\\rtf1 \\'80\\'93x\\'94}") << QStringLiteral("\u20ac\u201cx\u201d");
    QTest::newRow("hex upper case digits") << QByteArray("{\\rtf1 \\'C4}") << QStringLiteral("\u00c4");
    QTest::newRow("unicode with fallback") << QByteArray("{\\rtf1 \\u8364?x}") << QStringLiteral("\u20acx");
    QTest::newRow("unicode fallback as hex") << QByteArray("{\\rtf1 \\u8364\\'80x}") << QStringLiteral("\u20acx");
    QTest::newRow("negative unicode") << QByteArray("{\\rtf1 \\u-3913?}") << QStringLiteral("\uf0b7");
    QTest::newRow("uc0 keeps what follows") << QByteArray("{\\rtf1\\uc0 \\u233 x}") << QStringLiteral("\u00e9x");
    QTest::newRow("uc2 skips two") << QByteArray("{\\rtf1\\uc2 \\u233 ab!}") << QStringLiteral("\u00e9!");
    QTest::newRow("surrogate pair") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}") << QStringLiteral("\U0001F600");
    QTest::newRow("lone high surrogate") << QByteArray("{\\rtf1 \\u-10179?x}") << QStringLiteral("\ufffdx");
    QTest::newRow("lone low surrogate") << QByteArray("{\\rtf1 \\u-8704?x}") << QStringLiteral("\ufffdx");
    QTest::newRow("unicode out of range") << QByteArray("{\\rtf1 \\u99999?x}") << QStringLiteral("\ufffdx");
    QTest::newRow("font table skipped") << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}Hi}") << QStringLiteral("Hi");
    QTest::newRow("ignorable destination") << QByteArray("{\\rtf1{\\*\\unknowndest junk}ok}") << QStringLiteral("ok");
    QTest::newRow("unknown word ignored") << QByteArray("{\\rtf1\\frobnicate42 ok}") << QStringLiteral("ok");
    QTest::newRow("named punctuation") << QByteArray("{\\rtf1\\bullet\\endash\\emdash\\lquote\\rquote\\ldblquote\\rdblquote}")
                                       << QStringLiteral("\u2022\u2013\u2014\u2018\u2019\u201c\u201d");
    QTest::newRow("tab, line and nbsp") << QByteArray("{\\rtf1 a\\tab b\\line c\\~d}") << QStringLiteral("a\tb\u2028c\u00a0d");
}

void TestRtfReader::text()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    const RtfDocument doc = RtfReader::read(rtf);
    QCOMPARE(doc.plainText(), text);
    QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(QLatin1Char('\n'))));
}

void TestRtfReader::formatting()
{
    const RtfDocument doc = RtfReader::read("{\\rtf1\\fs20 a{\\b\\i b}\\ul c\\ulnone d\\plain e\\fs9999 f}");
    QCOMPARE(doc.paragraphs.size(), 1);
    const QList<RtfRun>& runs = doc.paragraphs.first().runs;
    QCOMPARE(runs.size(), 5);
    QCOMPARE(runs[0].text, QStringLiteral("a"));
    QCOMPARE(runs[0].halfPoints, 20);
    QVERIFY(runs[1].bold && runs[1].italic);  // the group's formatting ends with the group
    QCOMPARE(runs[2].text, QStringLiteral("c"));
    QVERIFY(runs[2].underline && !runs[2].bold);
    QCOMPARE(runs[3].text, QStringLiteral("d"));
    QCOMPARE(runs[4].text, QStringLiteral("ef"));  // \plain resets; an absurd size is ignored
    QCOMPARE(runs[4].halfPoints, 24);
}

void TestRtfReader::brokenInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("problem");
    QTest::newRow("missing closing braces") << QByteArray("{\\rtf1 {\\b open") << QStringLiteral("open")
                                            << QStringLiteral("2 group(s) left open at the end");
    QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 a}}}b") << QStringLiteral("ab")
                                          << QStringLiteral("a } without its {");
    QTest::newRow("backslash at the end") << QByteArray("{\\rtf1 ab\\") << QStringLiteral("ab")
                                          << QStringLiteral("a \\ at the very end");
    QTest::newRow("control word cut off") << QByteArray("{\\rtf1 ab\\pa") << QStringLiteral("ab")
                                          << QStringLiteral("1 group(s) left open at the end");
    QTest::newRow("parameter cut off") << QByteArray("{\\rtf1 ab\\fs-") << QStringLiteral("ab-")
                                       << QStringLiteral("1 group(s) left open at the end");
    QTest::newRow("hex escape cut off") << QByteArray("{\\rtf1 ab\\'4") << QStringLiteral("ab4")
                                        << QStringLiteral("a \\' without two hex digits");
    QTest::newRow("hex escape at the end") << QByteArray("{\\rtf1 ab\\'") << QStringLiteral("ab")
                                           << QStringLiteral("a \\' without two hex digits");
    QTest::newRow("hex escape not hex") << QByteArray("{\\rtf1 \\'zzok}") << QStringLiteral("zzok")
                                        << QStringLiteral("a \\' without two hex digits");
    QTest::newRow("unicode without number") << QByteArray("{\\rtf1 \\u?x}") << QStringLiteral("?x") << QString();
    QTest::newRow("unicode at the end") << QByteArray("{\\rtf1 x\\u-10179") << QStringLiteral("x\ufffd")
                                        << QStringLiteral("1 group(s) left open at the end");
    QTest::newRow("huge parameter") << QByteArray("{\\rtf1 \\u99999999999999999999?x}") << QStringLiteral("\ufffdx")
                                    << QString();
    QTest::newRow("very long control word") << QByteArray("{\\rtf1 \\" + QByteArray(5000, 'a') + " ok}")
                                            << QStringLiteral("ok") << QStringLiteral("a control word longer than 32 letters");
    QTest::newRow("no header") << QByteArray("plain words") << QStringLiteral("plain words")
                               << QStringLiteral("the text does not begin with {\\rtf");
    QTest::newRow("empty") << QByteArray() << QString() << QStringLiteral("the text does not begin with {\\rtf");
    QTest::newRow("NUL and control bytes") << QByteArray("{\\rtf1 a\0b\x01" "c}", 13) << QStringLiteral("abc") << QString();
    QTest::newRow("skip never ends") << QByteArray("{\\rtf1 a{\\*\\x b") << QStringLiteral("a")
                                     << QStringLiteral("2 group(s) left open at the end");
}

void TestRtfReader::brokenInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(QString, problem);
    const RtfDocument doc = RtfReader::read(rtf);
    QCOMPARE(doc.plainText(), text);
    if (!problem.isEmpty())
        QVERIFY2(doc.problems.contains(problem), qPrintable(doc.problems.join(QLatin1Char('|'))));
}

void TestRtfReader::deepNestingIsBounded()
{
    // Braces far deeper than the reader keeps state for still balance, and the text after them is read
    // with the formatting of the outer group.
    QByteArray rtf = "{\\rtf1 a";
    rtf += QByteArray(10000, '{') + "\\b deep" + QByteArray(10000, '}') + " b}";
    const RtfDocument doc = RtfReader::read(rtf);
    QCOMPARE(doc.plainText(), QStringLiteral("adeep b"));
    QVERIFY(!doc.problems.contains(QStringLiteral("a } without its {")));
    QVERIFY(doc.problems.contains(QStringLiteral("groups nested deeper than %1").arg(RtfReader::MaxDepth)));
}

void TestRtfReader::oneMebibyte_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("expectedLength");
    const int size = 1024 * 1024;
    QByteArray text = "{\\rtf1 ";
    while (text.size() < size)
        text += "The quick brown fox \\b jumps\\b0  over\\par ";
    QTest::newRow("text and paragraphs") << text << -1;
    QTest::newRow("open braces only") << QByteArray(size, '{') << 0;
    QTest::newRow("close braces only") << QByteArray(size, '}') << 0;
    QTest::newRow("backslashes only") << QByteArray(size, '\\') << size / 2;  // escaped backslashes
    QByteArray escapes;
    while (escapes.size() < size)
        escapes += "\\'e9\\u8364?";
    QTest::newRow("escapes") << escapes << int(escapes.size() / 11 * 2);
    QByteArray words;
    while (words.size() < size)
        words += "\\par";
    QTest::newRow("paragraph marks") << words << int(words.size() / 4 - 1);
}

void TestRtfReader::oneMebibyte()
{
    QFETCH(QByteArray, rtf);
    QFETCH(int, expectedLength);
    QElapsedTimer clock;
    clock.start();
    const RtfDocument doc = RtfReader::read(rtf);
    QVERIFY2(clock.elapsed() < 5000, "the reader must stay linear");
    if (expectedLength >= 0)
        QCOMPARE(doc.plainText().size(), expectedLength);
    else
        QVERIFY(doc.plainText().contains(QStringLiteral("The quick brown fox jumps over")));
    QVERIFY(doc.problems.size() <= 20);
}

QTEST_GUILESS_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
