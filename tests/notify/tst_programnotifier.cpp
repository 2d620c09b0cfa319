// The program notification: arguments recorded by record_args.sh.
#include "TestNotificationHost.h"
#include "notify/ProgramNotifier.h"
#include "platform/ProcessLauncher.h"

#include <QTemporaryDir>
#include <QtTest>

class TestProgramNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void launches_data();
    void launches();

private:
    QTemporaryDir m_dir;
    QString m_script;
};

void TestProgramNotifier::initTestCase()
{
    m_script = m_dir.filePath(QStringLiteral("a folder with blanks/record args"));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("a folder with blanks"))));
    QVERIFY(QFile::copy(QStringLiteral(VISTREL_SOURCE_DIR "/tests/notify/record_args.sh"), m_script));
    QVERIFY(QFile::setPermissions(m_script, QFile::ReadOwner | QFile::ExeOwner));
    qputenv("PATH", QFile::encodeName(m_dir.filePath(QStringLiteral("a folder with blanks:"))) + qgetenv("PATH"));
    qputenv("VISTREL_RECORD_ARGS", QFile::encodeName(m_dir.filePath(QStringLiteral("argv"))));
}

void TestProgramNotifier::launches_data()
{
    QTest::addColumn<QString>("program"); // "@": the recording script, in a folder with blanks
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("result"); // the arguments it got, or the statuses when it must not start
    QTest::newRow("addresses, quotes and escapes") << "@"
        << "--in\t$Internal$ \"$EXTERNAL$ \\\"x\\\\\" 'a\\b \"c\"' d\\ e \"\" \"\\$\\\ny\" $HOME; ''"
        << QStringList{"--in", "192.168.1.20", "203.0.113.7 \"x\\", "a\\b \"c\"", "d e", "", "$y", "$HOME;", ""};
    QTest::newRow("blank arguments") << "@" << " " << QStringList{};
    QTest::newRow("no program") << "" << "x" << QStringList{"Error: Please enter a program to launch"};
    QTest::newRow("no such program") << "/nonexistent/x"
                                     << "" << QStringList{"Opening /nonexistent/x", "Error: could not launch program"};
    QTest::newRow("found on PATH") << "record args" << "x" << QStringList{"x"};
    for (const char* broken : {"\"open", "'open", "x\\"})
        QTest::newRow(broken) << "@" << broken << QStringList{"Error: could not launch program"};
}

void TestProgramNotifier::launches()
{
    QFETCH(QString, program);
    QFETCH(QString, arguments);
    QFETCH(QStringList, result);
    const QString record = QString::fromLocal8Bit(qgetenv("VISTREL_RECORD_ARGS"));
    QFile::remove(record);
    TestNotificationHost host;
    host.notifySettings().program = program.replace(QLatin1String("@"), m_script);
    host.notifySettings().arguments = arguments;
    DetachedProcessLauncher launcher;
    ProgramNotifier(host, launcher).doLauchProg();
    if (host.statuses != QStringList{"Opening " + program, "Opened: " + program}) {
        QCOMPARE(host.statuses, result);
        return;
    }
    QTRY_VERIFY(QFile::exists(record));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList got = QString::fromUtf8(file.readAll()).split(QChar(0));
    QCOMPARE(got.mid(1, got.size() - 2), result); // without the path and what follows the last NUL
}

QTEST_GUILESS_MAIN(TestProgramNotifier)
#include "tst_programnotifier.moc"
