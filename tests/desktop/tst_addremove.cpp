// Run at logon as an XDG autostart entry: the file written, the Exec= line for paths that need quoting,
// removal of exactly that entry, and the failures that must be reported rather than ignored.
#include "desktop/AddRemove.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Program = QStringLiteral("Tarnwick IP Vistrel");

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString execLine(const QByteArray& entry)
{
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    }
    return QString();
}

} // namespace

class TestAddRemove : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void entryWritten();
    void execQuoting_data();
    void execQuoting();
    void validatorAcceptsEntry();
    void defaultFolderFollowsXdgConfigHome();
    void removeTakesExactlyThatFile();
    void removeWithoutEntryIsNoFailure();
    void failures();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
};

void TestAddRemove::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_folder = m_dir->filePath(QStringLiteral("config/autostart"));
}

void TestAddRemove::entryWritten()
{
    AddRemove addRemove(m_folder);
    QString error;
    QVERIFY2(addRemove.AddToRun(Program, QStringLiteral("/opt/vistrel/tarnwick-ip-vistrel"), &error), qPrintable(error));
    const QString path = m_folder + QStringLiteral("/Tarnwick IP Vistrel.desktop");
    QCOMPARE(addRemove.entryPath(Program), path);
    const QByteArray entry = readFile(path);
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY(entry.contains("\nType=Application\n"));
    QVERIFY(entry.contains("\nName=Tarnwick IP Vistrel\n"));
    QCOMPARE(execLine(entry), QStringLiteral("\"/opt/vistrel/tarnwick-ip-vistrel\""));

    // Writing again (every start with "startup" = 1) points the entry at the present executable.
    QVERIFY(addRemove.AddToRun(Program, QStringLiteral("/home/me/moved/tarnwick-ip-vistrel"), &error));
    QCOMPARE(execLine(readFile(path)), QStringLiteral("\"/home/me/moved/tarnwick-ip-vistrel\""));
    QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no temporary file left
}

void TestAddRemove::execQuoting_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("written");
    QTest::newRow("blanks") << QStringLiteral("/home/me/My Programs/IP Vistrel/tarnwick-ip-vistrel")
                            << QStringLiteral("\"/home/me/My Programs/IP Vistrel/tarnwick-ip-vistrel\"");
    QTest::newRow("dollar and backtick") << QStringLiteral("/opt/a$HOME`x`/v")
                                         << QStringLiteral("\"/opt/a\\\\$HOME\\\\`x\\\\`/v\"");
    QTest::newRow("double quote") << QStringLiteral("/opt/say \"hi\"/v") << QStringLiteral("\"/opt/say \\\\\"hi\\\\\"/v\"");
    QTest::newRow("backslash") << QStringLiteral("/opt/back\\slash/v") << QStringLiteral("\"/opt/back\\\\\\\\slash/v\"");
    QTest::newRow("percent is not a field code") << QStringLiteral("/opt/100%f/v") << QStringLiteral("\"/opt/100%%f/v\"");
    QTest::newRow("shell characters") << QStringLiteral("/opt/a;b|c&d'e/v") << QStringLiteral("\"/opt/a;b|c&d'e/v\"");
    QTest::newRow("non-ASCII") << QStringLiteral("/home/j\u00f6rg/v") << QStringLiteral("\"/home/j\u00f6rg/v\"");
}

void TestAddRemove::execQuoting()
{
    QFETCH(QString, executable);
    QFETCH(QString, written);
    AddRemove addRemove(m_folder);
    QString error;
    QVERIFY2(addRemove.AddToRun(Program, executable, &error), qPrintable(error));
    QCOMPARE(execLine(readFile(addRemove.entryPath(Program))), written);
}

void TestAddRemove::validatorAcceptsEntry()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed");
    AddRemove addRemove(m_folder);
    QString error;
    QVERIFY(addRemove.AddToRun(Program, QStringLiteral("/opt/My Apps/a$b/v"), &error));
    QProcess process;
    process.start(validator, {addRemove.entryPath(Program)});
    QVERIFY(process.waitForFinished(10000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardOutput().constData());
}

void TestAddRemove::defaultFolderFollowsXdgConfigHome()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
    QCOMPARE(AddRemove().autostartFolder(), m_dir->path() + QStringLiteral("/autostart"));
    qputenv("XDG_CONFIG_HOME", "relative/path");  // not absolute: ignored
    QCOMPARE(AddRemove::defaultAutostartFolder(), QDir::homePath() + QStringLiteral("/.config/autostart"));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(AddRemove::defaultAutostartFolder(), QDir::homePath() + QStringLiteral("/.config/autostart"));
}

void TestAddRemove::removeTakesExactlyThatFile()
{
    AddRemove addRemove(m_folder);
    QString error;
    QVERIFY(addRemove.AddToRun(Program, QStringLiteral("/opt/v"), &error));
    QDir folder(m_folder);
    for (const char* other : {"other.desktop", "Tarnwick IP Vistrel.desktop.bak", "tarnwick ip vistrel.desktop"}) {
        QFile file(folder.filePath(QLatin1String(other)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY2(addRemove.RemoveFromRun(Program, &error), qPrintable(error));
    QCOMPARE(folder.entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("Tarnwick IP Vistrel.desktop.bak"), QStringLiteral("other.desktop"),
                          QStringLiteral("tarnwick ip vistrel.desktop")}));
}

void TestAddRemove::removeWithoutEntryIsNoFailure()
{
    QString error;
    QVERIFY(AddRemove(m_folder).RemoveFromRun(Program, &error));                   // folder missing
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(AddRemove(m_folder).RemoveFromRun(Program, &error));                   // folder empty
    QVERIFY(error.isEmpty());
}

void TestAddRemove::failures()
{
    // The autostart folder cannot be made: its parent is a file (a read-only folder would not stop root).
    const QString config = m_dir->filePath(QStringLiteral("config"));
    {
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QString error;
    QVERIFY(!AddRemove(m_folder).AddToRun(Program, QStringLiteral("/opt/v"), &error));
    QVERIFY2(error.contains(m_folder), qPrintable(error));
    QVERIFY(QFile::remove(config));

    // The entry's name is taken by a folder: neither written over nor removed.
    QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/Tarnwick IP Vistrel.desktop/keep")));
    error.clear();
    QVERIFY(!AddRemove(m_folder).AddToRun(Program, QStringLiteral("/opt/v"), &error));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!AddRemove(m_folder).RemoveFromRun(Program, &error));
    QVERIFY2(error.contains(QStringLiteral("folder")), qPrintable(error));
    QVERIFY(QFileInfo(m_folder + QStringLiteral("/Tarnwick IP Vistrel.desktop/keep")).isDir());

    // A path that no desktop entry can hold, and a relative one.
    error.clear();
    QVERIFY(!AddRemove(m_folder).AddToRun(Program, QStringLiteral("/opt/line\nbreak"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!AddRemove(m_folder).AddToRun(Program, QStringLiteral("relative/v"), &error));
}

QTEST_GUILESS_MAIN(TestAddRemove)
#include "tst_addremove.moc"
