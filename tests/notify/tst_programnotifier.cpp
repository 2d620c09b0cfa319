// Program and URL notifications: arguments recorded by record_args.sh, the URL requested from nginx.
#include "NginxPeer.h"
#include "TestNotificationHost.h"
#include "notify/ProgramNotifier.h"
#include "notify/WebNotifier.h"
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
    void hitsTheUrl_data();
    void hitsTheUrl();

private:
    QTemporaryDir m_dir;
    QString m_script;
    NginxPeer m_nginx;
};

void TestProgramNotifier::initTestCase()
{
    m_script = m_dir.filePath(QStringLiteral("a folder with blanks/record args"));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("a folder with blanks"))));
    QVERIFY(QFile::copy(QStringLiteral(VISTREL_SOURCE_DIR "/tests/notify/record_args.sh"), m_script));
    QVERIFY(QFile::setPermissions(m_script, QFile::ReadOwner | QFile::ExeOwner));
    qputenv("VISTREL_RECORD_ARGS", QFile::encodeName(m_dir.filePath(QStringLiteral("argv"))));
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

void TestProgramNotifier::launches_data()
{
    QTest::addColumn<QString>("program"); // "@": the recording script, in a folder with blanks
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("result"); // the arguments it got, or the statuses when it must not start
    QTest::newRow("addresses, quotes and escapes") << "@"
        << "--in\t$Internal$ \"$EXTERNAL$ \\\"x\\\\\" 'a\\b \"c\"' d\\ e \"\" $HOME;"
        << QStringList{"--in", "192.168.1.20", "203.0.113.7 \"x\\", "a\\b \"c\"", "d e", "", "$HOME;"};
    QTest::newRow("blank arguments") << "@" << " " << QStringList{};
    QTest::newRow("no program") << "" << "x" << QStringList{"Error: Please enter a program to launch"};
    QTest::newRow("no such program") << "/nonexistent/x"
                                     << "" << QStringList{"Opening /nonexistent/x", "Error: could not launch program"};
    QTest::newRow("unterminated quote") << "@" << "\"open" << QStringList{"Error: could not launch program"};
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

void TestProgramNotifier::hitsTheUrl_data()
{
    QTest::addColumn<QString>("path"); // empty: no URL
    QTest::addColumn<QString>("logged");
    QTest::newRow("URL forms in any letter case, program forms stay")
        << "/hook/$ExternalIP$?i=$internalip$&p=$Internal$" << "/hook/203.0.113.7?i=192.168.1.20&p=$Internal$";
    QTest::newRow("no URL") << "" << "";
}

void TestProgramNotifier::hitsTheUrl()
{
    QFETCH(QString, path);
    QFETCH(QString, logged);
    TestNotificationHost host;
    const QString base = path.isEmpty() ? QString() : QStringLiteral("http://127.0.0.1:%1").arg(m_nginx.port());
    host.notifySettings().url = base + path;
    const qsizetype before = m_nginx.accessLog().size();
    WebNotifier(host).doHitURL();
    if (path.isEmpty()) {
        QCOMPARE(host.statuses, QStringList{"Error: Please enter a URL to hit"});
        QTest::qWait(100);
        QCOMPARE(m_nginx.accessLog().size(), before);
        return;
    }
    QCOMPARE(host.statuses, (QStringList{"Hitting " + base + logged, "Success: ok"}));
    QTRY_COMPARE(m_nginx.accessLog().size(), before + 1);
    QCOMPARE(m_nginx.accessLog().last().section(QLatin1Char('\t'), 0, 0), logged);
}

QTEST_GUILESS_MAIN(TestProgramNotifier)
#include "tst_programnotifier.moc"
