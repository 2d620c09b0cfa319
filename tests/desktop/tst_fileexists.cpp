// FileExists, the help window's file test: letter case, hidden files, folders and paths that cannot be
// searched.
#include "desktop/FileExists.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestFileExists : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cases_data();
    void cases();
    void foundNameIsTheOneOnDisk();

private:
    static void touch(const QString& path) { QFile(path).open(QIODevice::WriteOnly); }
    QTemporaryDir m_dir;
};

void TestFileExists::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QDir dir(m_dir.path());
    touch(dir.filePath(QStringLiteral("Help.rtf")));
    QVERIFY(dir.mkpath(QStringLiteral("lower")));
    touch(dir.filePath(QStringLiteral("lower/help.rtf")));
    QVERIFY(dir.mkpath(QStringLiteral("hidden")));
    touch(dir.filePath(QStringLiteral("hidden/.Help.rtf")));
    QVERIFY(dir.mkpath(QStringLiteral("folder/Help.rtf")));
    QVERIFY(dir.mkpath(QStringLiteral("link")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("Help.rtf")), dir.filePath(QStringLiteral("link/Help.rtf"))));
    QVERIFY(dir.mkpath(QStringLiteral("dangling")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("dangling/Help.rtf"))));
}

void TestFileExists::cases_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("exists");
    QTest::newRow("as written") << QStringLiteral("Help.rtf") << true;
    QTest::newRow("asked in small letters") << QStringLiteral("help.rtf") << true;
    QTest::newRow("asked in capitals") << QStringLiteral("HELP.RTF") << true;
    QTest::newRow("file in small letters on disk") << QStringLiteral("lower/Help.rtf") << true;
    QTest::newRow("hidden file") << QStringLiteral("hidden/.Help.rtf") << false;
    QTest::newRow("hidden file is not the plain name") << QStringLiteral("hidden/Help.rtf") << false;
    QTest::newRow("folder of that name") << QStringLiteral("folder/Help.rtf") << false;
    QTest::newRow("link to a file") << QStringLiteral("link/Help.rtf") << true;
    QTest::newRow("dangling link") << QStringLiteral("dangling/Help.rtf") << false;
    QTest::newRow("missing file") << QStringLiteral("Readme.rtf") << false;
    QTest::newRow("missing folder") << QStringLiteral("nowhere/Help.rtf") << false;
    QTest::newRow("path ends with a slash") << QStringLiteral("lower/") << false;
    QTest::newRow("file used as a folder") << QStringLiteral("Help.rtf/Help.rtf") << false;
}

void TestFileExists::cases()
{
    QFETCH(QString, relative);
    QFETCH(bool, exists);
    QCOMPARE(FileExists(m_dir.filePath(relative)), exists);
}

void TestFileExists::foundNameIsTheOneOnDisk()
{
    QCOMPARE(findExistingFile(m_dir.filePath(QStringLiteral("lower/HELP.RTF"))),
             m_dir.filePath(QStringLiteral("lower/help.rtf")));
    QVERIFY(!FileExists(QString()));
}

QTEST_GUILESS_MAIN(TestFileExists)
#include "tst_fileexists.moc"
