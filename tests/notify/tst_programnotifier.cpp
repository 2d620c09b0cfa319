// The program notification: word splitting, placeholders, and real programs started with their
// arguments recorded by a script.
#include "TestNotificationHost.h"
#include "notify/Placeholders.h"
#include "notify/ProgramNotifier.h"
#include "notify/ShellWords.h"
#include "platform/ProcessLauncher.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestProgramNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void shellWords_data();
    void shellWords();
    void placeholders_data();
    void placeholders();
    void launches_data();
    void launches();

private:
    /// The script's recorded path and arguments, once it has run.
    QStringList recorded();

    QTemporaryDir m_dir;
    QString m_record;
    QString m_plainScript;
    QString m_blankScript;
    std::unique_ptr<TestNotificationHost> m_host;
    DetachedProcessLauncher m_launcher;
};

void TestProgramNotifier::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString source = QStringLiteral(VISTREL_SOURCE_DIR "/tests/notify/record_args.sh");
    m_plainScript = m_dir.filePath(QStringLiteral("bin/record-args"));
    m_blankScript = m_dir.filePath(QStringLiteral("a folder with blanks/record args.sh"));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("bin"))));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("a folder with blanks"))));
    QVERIFY(QFile::copy(source, m_plainScript));
    QVERIFY(QFile::copy(source, m_blankScript));
    for (const QString& script : {m_plainScript, m_blankScript})
        QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    m_record = m_dir.filePath(QStringLiteral("argv"));
    qputenv("VISTREL_RECORD_ARGS", QFile::encodeName(m_record));
    qputenv("PATH", QFile::encodeName(m_dir.filePath(QStringLiteral("bin"))) + ":" + qgetenv("PATH"));
}

void TestProgramNotifier::init()
{
    QFile::remove(m_record);
    m_host = std::make_unique<TestNotificationHost>();
}

QStringList TestProgramNotifier::recorded()
{
    QFile file(m_record);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList words = QString::fromUtf8(file.readAll()).split(QChar(0));
    words.removeLast();  // after the last NUL
    return words;
}

void TestProgramNotifier::shellWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words"); // {"<error>"}: the text is refused
    const QStringList refused{"<error>"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("one blank") << " " << QStringList{};
    QTest::newRow("two blanks") << "  " << QStringList{};
    QTest::newRow("blanks between") << " a \t b  c " << QStringList{"a", "b", "c"};
    QTest::newRow("double quotes") << R"(-m "two words" x)" << QStringList{"-m", "two words", "x"};
    QTest::newRow("single quotes keep backslash") << R"('a\b "c"')" << QStringList{R"(a\b "c")"};
    QTest::newRow("escapes in double quotes") << R"("a\"b\\c\$d\e")" << QStringList{R"(a"b\c$d\e)"};
    QTest::newRow("backslash outside quotes") << R"(a\ b \'c)" << QStringList{"a b", "'c"};
    QTest::newRow("empty quotes are a word") << R"(x "" '' y)" << QStringList{"x", "", "", "y"};
    QTest::newRow("quotes join a word") << R"(pre"mid dle"'post')" << QStringList{"premid dlepost"};
    QTest::newRow("no expansion") << R"($HOME `id` *)" << QStringList{"$HOME", "`id`", "*"};
    QTest::newRow("semicolon is text") << "a;rm -rf x" << QStringList{"a;rm", "-rf", "x"};
    QTest::newRow("open double quote") << R"(a "b)" << refused;
    QTest::newRow("open single quote") << "a 'b" << refused;
    QTest::newRow("backslash at the end") << "a \\" << refused;
    QTest::newRow("escaped closing quote") << R"("a\")" << refused;
}

void TestProgramNotifier::shellWords()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    QStringList got;
    QString error;
    const bool ok = splitShellWords(text, &got, &error);
    if (words == QStringList{"<error>"}) {
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        return;
    }
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(got, words);
}

void TestProgramNotifier::placeholders_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("url");
    QTest::addColumn<QString>("expected");
    QTest::newRow("program forms") << "$Internal$/$External$" << false << "I/E";
    QTest::newRow("small letters") << "$internal$ $external$" << false << "I E";
    QTest::newRow("capitals") << "$INTERNAL$$EXTERNAL$" << false << "IE";
    QTest::newRow("every occurrence") << "$Internal$$Internal$" << false << "II";
    QTest::newRow("url form in a program stays") << "$InternalIP$" << false << "$InternalIP$";
    QTest::newRow("url forms") << "?i=$InternalIP$&e=$externalip$" << true << "?i=I&e=E";
    QTest::newRow("program form in a url stays") << "?i=$Internal$" << true << "?i=$Internal$";
}

void TestProgramNotifier::placeholders()
{
    QFETCH(QString, text);
    QFETCH(bool, url);
    QFETCH(QString, expected);
    QCOMPARE(substitutePlaceholders(text, url ? urlPlaceholders() : programPlaceholders(), QStringLiteral("I"),
                                    QStringLiteral("E")),
             expected);
    // An inserted address is not searched again for the same placeholder.
    QCOMPARE(substitutePlaceholders(QStringLiteral("$Internal$."), programPlaceholders(),
                                    QStringLiteral("$internal$"), QStringLiteral("x")),
             QStringLiteral("$internal$."));
}

void TestProgramNotifier::launches_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("argv");     // what the program got; unused when it must not start
    QTest::addColumn<QStringList>("statuses"); // empty: "Opening <program>", "Opened: <program>"
    const QString plain = QStringLiteral("@PLAIN@");
    const QString notLaunched = QStringLiteral("Error: could not launch program");
    QTest::newRow("addresses as arguments") << plain << "--in $Internal$ --out $EXTERNAL$"
                                            << QStringList{"--in", "192.168.1.20", "--out", "203.0.113.7"} << QStringList{};
    QTest::newRow("one blank: no arguments") << plain << " " << QStringList{} << QStringList{};
    QTest::newRow("two blanks: no arguments") << plain << "  " << QStringList{} << QStringList{};
    QTest::newRow("empty arguments") << plain << "" << QStringList{} << QStringList{};
    QTest::newRow("quoted argument with blanks") << plain << R"("a b" 'c  d' e\ f)"
                                                 << QStringList{"a b", "c  d", "e f"} << QStringList{};
    QTest::newRow("path with blanks") << "@BLANK@" << "x" << QStringList{"x"} << QStringList{};
    QTest::newRow("found on PATH") << "record-args" << "$internal$" << QStringList{"192.168.1.20"} << QStringList{};
    QTest::newRow("shell text is not run") << plain << "; touch pwned" << QStringList{";", "touch", "pwned"}
                                           << QStringList{};
    QTest::newRow("no program") << "" << "x" << QStringList{}
                                << QStringList{"Error: Please enter a program to launch"};
    QTest::newRow("program that does not exist") << "/nonexistent/vistrel-no-such-program" << "" << QStringList{}
        << QStringList{"Opening /nonexistent/vistrel-no-such-program", notLaunched};
    QTest::newRow("blanks only") << "   " << "" << QStringList{} << QStringList{"Opening    ", notLaunched};
    QTest::newRow("not on PATH") << "vistrel-no-such-program" << "" << QStringList{}
                                 << QStringList{"Opening vistrel-no-such-program", notLaunched};
    QTest::newRow("unterminated quote") << plain << "\"open" << QStringList{} << QStringList{notLaunched};
}

void TestProgramNotifier::launches()
{
    QFETCH(QString, program);
    QFETCH(QString, arguments);
    QFETCH(QStringList, argv);
    QFETCH(QStringList, statuses);
    program.replace(QLatin1String("@PLAIN@"), m_plainScript).replace(QLatin1String("@BLANK@"), m_blankScript);
    m_host->notifySettings().program = program;
    m_host->notifySettings().arguments = arguments;
    ProgramNotifier notifier(*m_host, m_launcher);
    notifier.doLauchProg();
    if (!statuses.isEmpty()) {
        QCOMPARE(m_host->statuses, statuses);
        QTest::qWait(200);
        QVERIFY(!QFile::exists(m_record));
        return;
    }
    QCOMPARE(m_host->statuses, (QStringList{"Opening " + program, "Opened: " + program}));
    QTRY_VERIFY(QFile::exists(m_record));
    const QStringList got = recorded();
    QVERIFY(!got.isEmpty());
    QCOMPARE(got.mid(1), argv);
}

QTEST_GUILESS_MAIN(TestProgramNotifier)
#include "tst_programnotifier.moc"
