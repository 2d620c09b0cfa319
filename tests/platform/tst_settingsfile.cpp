// The settings store on real files: hand-edited values, what a rewrite keeps, files QSettings wrote, refusals.
#include "TempConfigHome.h"
#include "core/Settings.h"
#include "platform/SettingsFile.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>

class TestSettingsFile : public QObject
{
    Q_OBJECT
private:
    TempConfigHome m_home;

    QByteArray bytes(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }

private slots:
    void handEditedFile_data();
    void handEditedFile();
    void readsWhatQSettingsWrote();
    void roundTripOfEveryKey();
    void refusesWhatIsNoSettingsFile_data();
    void refusesWhatIsNoSettingsFile();
    void secretMakesTheFilePrivate_data();
    void secretMakesTheFilePrivate();
    void writesThroughASymbolicLink();
};

// Each file is read (the key's value as written), then strurl is set to "new;value" and the new key "added" to 1.
void TestSettingsFile::handEditedFile_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("; in a value") << QByteArray("[Settings]\naddressSources=dns://127.0.0.1:53/x?type=TXT;class=CH "
                                                "http://127.0.0.1/ip\n")
                                  << "addressSources"
                                  << "dns://127.0.0.1:53/x?type=TXT;class=CH http://127.0.0.1/ip"
                                  << QByteArray("[Settings]\naddressSources=dns://127.0.0.1:53/x?type=TXT;class=CH "
                                                "http://127.0.0.1/ip\nstrurl=new;value\nadded=1\n");
    QTest::newRow(", and = in a value, blanks around")
        << QByteArray("[Settings]\n strCommands = --ips=$External$,$Internal$ --tag=home;office \n") << "strcommands"
        << "--ips=$External$,$Internal$ --tag=home;office"
        << QByteArray("[Settings]\n strCommands = --ips=$External$,$Internal$ --tag=home;office \nstrurl=new;value\n"
                      "added=1\n");
    QTest::newRow("comments, other sections, unknown lines, CRLF kept; key in place")
        << QByteArray("; mine\r\n[Other]\r\nstrurl=other\r\n\r\n[settings]\r\n# note\r\nSTRURL = http://x/?h=a.example,"
                      "b.example\r\nnot understood\r\n\r\n[Tail]\r\ny=2\r\n")
        << "strurl"
        << "http://x/?h=a.example,b.example"
        << QByteArray("; mine\r\n[Other]\r\nstrurl=other\r\n\r\n[settings]\r\n# note\r\nSTRURL = new;value\r\nnot "
                      "understood\r\nadded=1\n\r\n[Tail]\r\ny=2\r\n");
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[Settings]\nstrurl=x\n") << "strurl"
                                     << "x" << QByteArray("\xEF\xBB\xBF[Settings]\nstrurl=new;value\nadded=1\n");
    QTest::newRow("no section yet") << QByteArray("# only comments\n") << "strurl"
                                    << "" << QByteArray("# only comments\n\n[Settings]\nstrurl=new;value\nadded=1\n");
    QTest::newRow("quoted: escapes; \"a b\" \"c\" as written")
        << QByteArray("[Settings]\ntxtBody=\" a\\\\b\\n\\\"c\\\"\\x41 \"\nstrProg=\"a b\" \"c\"\n") << "txtBody"
        << " a\\b\n\"c\"A "
        << QByteArray("[Settings]\ntxtBody=\" a\\\\b\\n\\\"c\\\"\\x41 \"\nstrProg=\"a b\" "
                      "\"c\"\nstrurl=new;value\nadded=1\n");
}

void TestSettingsFile::handEditedFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    m_home.writeSettingsFile(before);
    Settings settings(m_home.settingsPath());
    QCOMPARE(settings.read(key, QStringLiteral("unset")), value.isEmpty() ? QStringLiteral("unset") : value);
    QCOMPARE(settings.read(QStringLiteral("strProg"), {}), before.contains("strProg") ? "\"a b\" \"c\"" : "");
    QVERIFY(settings.write(QStringLiteral("strurl"), QStringLiteral("new;value")));
    QVERIFY(settings.write(QStringLiteral("added"), 1));
    QTEST(bytes(m_home.settingsPath()), "after");
    struct stat first, second; // a value already stored leaves the file as it is
    QCOMPARE(::stat(QFile::encodeName(m_home.settingsPath()).constData(), &first), 0);
    QVERIFY(settings.write(QStringLiteral("added"), 1));
    QCOMPARE(::stat(QFile::encodeName(m_home.settingsPath()).constData(), &second), 0);
    QCOMPARE(second.st_ino, first.st_ino);
}

// Values as the earlier versions stored them through QSettings read back the same.
void TestSettingsFile::readsWhatQSettingsWrote()
{
    const QStringList values = {"a;b",
                                "a,b",
                                "a, b",
                                "\"quoted\"",
                                "say \"hi\"",
                                "C:\\dir\\new",
                                " lead",
                                "trail ",
                                "line1\nline2",
                                "tab\there",
                                "@at",
                                "@@double",
                                "caf\u00e9 \u65e5\u672c",
                                "x=y",
                                QString::fromUtf8("\x01\x02"
                                                  "ab"),
                                "",
                                "#hash",
                                "\\x41",
                                "'single'"};
    QFile::remove(m_home.settingsPath());
    {
        QSettings writer(m_home.settingsPath(), QSettings::IniFormat);
        writer.beginGroup(QStringLiteral("Settings"));
        for (int i = 0; i < values.size(); ++i)
            writer.setValue(QStringLiteral("key%1").arg(i), values[i]);
    }
    const Settings settings(m_home.settingsPath());
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(settings.read(QStringLiteral("KEY%1").arg(i), QStringLiteral("unset")), values[i]);
}

// Random values over every key the program uses, from a fixed seed: what is written reads back the same, in this
// store (cached) and in a fresh one. Few rounds: each writes the file once a key, and the fuzz target
// fuzz_settings_file tries the values' encoding with far more text than rounds here could.
void TestSettingsFile::roundTripOfEveryKey()
{
    QStringList keys;
    for (const KeyRow& row : SettingsKeys)
        keys << QLatin1String(row.info.name);
    const QStringList pieces = {";", ",",   "\"",   "\\",     "=",      "#",   " ",  "\t", "\n",  "@",
                                "x", "\\n", "\\x4", "\u00e9", "\u65e5", "[a]", "\r", "0",  "\x01"};
    QRandomGenerator random(20261207);
    Settings settings(m_home.settingsPath());
    QSignalSpy changes(&settings, &Settings::changed);
    const int rounds = 4;
    for (int round = 0; round < rounds; ++round) {
        QHash<QString, QString> written;
        for (const QString& key : keys) {
            QString value;
            const int length = random.bounded(round == 0 ? 5000 : 12);
            for (int i = 0; i < length; ++i)
                value += pieces[random.bounded(int(pieces.size()))];
            written[key] = value;
            QVERIFY(settings.write(key, value));
        }
        const Settings fresh(m_home.settingsPath());
        for (const QString& key : keys) {
            QCOMPARE(settings.read(key, QStringLiteral("unset")), written[key]);
            QCOMPARE(fresh.read(key, QStringLiteral("unset")), written[key]);
        }
    }
    QCOMPARE(changes.size(), rounds * keys.size()); // a write by a name in the table emits its Key
    QCOMPARE(changes.last().at(0).value<Key>(), Key(SettingsKeys.size() - 1));
    // A change made by another program is seen at the next read.
    m_home.writeSettingsFile("[Settings]\nstrurl=edited\n");
    QCOMPARE(settings.read(QStringLiteral("strurl"), {}), QStringLiteral("edited"));
}

void TestSettingsFile::refusesWhatIsNoSettingsFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("NUL byte") << QByteArray("[Settings]\nrefresh=1\n\0\x7f"
                                            "ELF",
                                            22)
                              << "binary";
    QTest::newRow("not UTF-8") << QByteArray("[Settings]\nstrurl=caf\xe9\n") << "UTF-8";
    QTest::newRow("shell rc") << QByteArray("# ~/.bashrc\n\nexport PATH=$HOME/bin:$PATH\nalias ll='ls -l'\n")
                              << "line 3";
    QTest::newRow("1 MiB + 1") << "[Settings]\n" + QByteArray(1024 * 1024 - 11, ';') + '\n' << "1 MiB";
}

void TestSettingsFile::refusesWhatIsNoSettingsFile()
{
    QFETCH(QByteArray, content);
    m_home.writeSettingsFile(content);
    QString error;
    QVERIFY(!SettingsFile::check(m_home.settingsPath(), &error));
    QFETCH(QString, reason);
    QVERIFY2(error.contains(reason), qPrintable(error));
    Settings settings(m_home.settingsPath());
    QCOMPARE(settings.read(QStringLiteral("refresh"), QStringLiteral("unset")), QStringLiteral("unset"));
    const StoreResult result = settings.write(QStringLiteral("refresh"), 0);
    QVERIFY(!result && result.reason.contains(reason));
    QCOMPARE(bytes(m_home.settingsPath()), content);
}

void TestSettingsFile::secretMakesTheFilePrivate_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("mode");
    QTest::newRow("password") << QByteArray("[Settings]\nstrPassword=s3cret\n") << 0600;
    QTest::newRow("empty password") << QByteArray("[Settings]\nstrPassword=\n") << 0644;
    QTest::newRow("password elsewhere") << QByteArray("[Mine]\nstrPassword=s3cret\n") << 0644;
}

void TestSettingsFile::secretMakesTheFilePrivate()
{
    QFETCH(QByteArray, content);
    m_home.writeSettingsFile(content);
    const QByteArray path = QFile::encodeName(m_home.settingsPath());
    QCOMPARE(::chmod(path.constData(), 0644), 0);
    if (content.contains("s3cret") && !content.startsWith("[Mine]"))
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("now by its owner only"));
    QVERIFY(Settings(m_home.settingsPath()).write(QStringLiteral("refresh"), 1));
    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    QTEST(int(st.st_mode & 0777), "mode");
}

// A link stays a link; other hard links keep the old file.
void TestSettingsFile::writesThroughASymbolicLink()
{
    const QString real = m_home.path() + "/real.conf", link = m_home.path() + "/link.conf",
                  hard = m_home.path() + "/hard.conf";
    QVERIFY(QFile::link(real, link)); // dangling: the first write makes the file it names
    QVERIFY(Settings(link).write(QStringLiteral("refresh"), 1));
    QCOMPARE(::link(QFile::encodeName(real).constData(), QFile::encodeName(hard).constData()), 0);
    QVERIFY(Settings(link).write(QStringLiteral("refresh"), 0));
    QCOMPARE(QFileInfo(link).symLinkTarget(), real);
    QCOMPARE(bytes(real), QByteArray("[Settings]\nrefresh=0\n"));
    QCOMPARE(bytes(hard), QByteArray("[Settings]\nrefresh=1\n"));
    QCOMPARE(SettingsFile::resolve(link), real);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
