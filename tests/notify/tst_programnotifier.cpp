// The program notification: the arguments a copy of this test program records (see main()), by the rules of the
// system the build is for (programnotifier_rows_<system>.cpp).
#include "TestNotificationHost.h"
#include "notify/ProgramNotifier.h"
#include "platform/ProcessLauncher.h"

#include <QTemporaryDir>
#include <QtTest>

void addPlatformRows(); // the argument texts read by the system's own rules

class TestProgramNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void launches_data();
    void launches();

private:
    QTemporaryDir m_dir;
    QString m_recorder;
};

void TestProgramNotifier::initTestCase()
{
    const QString folder = m_dir.filePath(QStringLiteral("a folder with blanks"));
    const QFileInfo self(QCoreApplication::applicationFilePath());
    m_recorder = folder + QStringLiteral("/record args") + (self.suffix().isEmpty() ? "" : "." + self.suffix());
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(self.filePath(), m_recorder));
    QFile text(m_recorder + QStringLiteral(".txt")); // a file that is no program
    QVERIFY(text.open(QIODevice::WriteOnly));
    qputenv("PATH",
            QFile::encodeName(QDir::toNativeSeparators(folder)) + QDir::listSeparator().toLatin1() + qgetenv("PATH"));
    qputenv("VISTREL_RECORD_ARGS", QFile::encodeName(m_dir.filePath(QStringLiteral("argv"))));
}

void TestProgramNotifier::launches_data()
{
    QTest::addColumn<QString>("program"); // "@": the recorder, in a folder with blanks
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("result"); // the arguments it got, or the statuses when it must not start
    addPlatformRows();
    QTest::newRow("blank arguments") << "@"
                                     << " " << QStringList{};
    QTest::newRow("no program") << ""
                                << "x" << QStringList{"Error: Please enter a program to launch"};
    // Why a program does not start, in the words a user acts on.
    QTest::newRow("no such program") << "/nonexistent/x"
                                     << "" << QStringList{"Opening /nonexistent/x",
                                                          "Error: could not launch program: no such file"};
    QTest::newRow("not on PATH") << "no program of this name"
                                 << "" << QStringList{"Opening no program of this name",
                                                      "Error: could not launch program: not found on PATH"};
    QTest::newRow("not executable") << "@.txt" << ""
                                    << QStringList{"Opening @.txt", "Error: could not launch program: permission denied"};
    QTest::newRow("found on PATH") << "record args"
                                   << "x" << QStringList{"x"};
}

void TestProgramNotifier::launches()
{
    QFETCH(QString, program);
    QFETCH(QString, arguments);
    QFETCH(QStringList, result);
    const QString record = QString::fromLocal8Bit(qgetenv("VISTREL_RECORD_ARGS"));
    QFile::remove(record);
    TestNotificationHost host;
    host.notifySettings().program = program.replace(QLatin1String("@"), m_recorder);
    host.notifySettings().arguments = arguments;
    DetachedProcessLauncher launcher;
    ProgramNotifier(host, launcher).startProgram(addressesShownBy(host));
    if (host.statuses != QStringList{"Opening " + program, "Success: started " + program}) {
        for (QString& status : result)
            status.replace(QLatin1String("@"), m_recorder);
        QCOMPARE(host.statuses, result);
        return;
    }
    QTRY_VERIFY(QFile::exists(record));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList got = QString::fromUtf8(file.readAll()).split(QChar(0));
    QCOMPARE(got.mid(1, got.size() - 2), result); // without the path and what follows the last NUL
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString record = qEnvironmentVariable("VISTREL_RECORD_ARGS");
    if (!record.isEmpty()) { // the recorder: its path and arguments, each ended by a NUL, into that file
        QFile file(record + QStringLiteral(".part"));
        const QByteArray all = (QCoreApplication::arguments().join(QChar(0)) + QChar(0)).toUtf8();
        return file.open(QIODevice::WriteOnly) && file.write(all) == all.size() && file.rename(record) ? 0 : 1;
    }
    TestProgramNotifier test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programnotifier.moc"
