// The settings store: case-insensitive keys, defaults only in the reading call, every write on disk
// at once, a private file, and nothing read from a damaged file can hurt the program.
#include "TempConfigHome.h"
#include "app/NotifySettings.h"
#include "app/Settings.h"
#include "platform/SettingsFile.h"

#include <QFile>
#include <QtTest>

#include <sys/stat.h>

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void pathFollowsXdgConfigHome();
    void keysAreFoundWithoutRegardToCase();
    void emptyTextIsNotTheDefault();
    void writeIsOnDiskAtOnce();
    void textsRoundTrip_data();
    void textsRoundTrip();
    void fileIsPrivate();
    void damagedFileKeepsWhatItCan();
    void badNumbersCountAsDefault_data();
    void badNumbersCountAsDefault();
    void notifySettingsDefaults();
    void notifySettingsFromStore();
};

void TestSettings::pathFollowsXdgConfigHome()
{
    TempConfigHome home;
    QCOMPARE(SettingsFile::defaultPath(QStringLiteral("Tarnwick IP Vistrel")), home.settingsPath());
}

void TestSettings::keysAreFoundWithoutRegardToCase()
{
    TempConfigHome home;
    Settings settings(home.settingsPath());
    settings.write(QStringLiteral("strURL"), QStringLiteral("http://a/"));
    QCOMPARE(settings.read(QStringLiteral("strurl"), QStringLiteral("default")), QStringLiteral("http://a/"));
    // A second spelling overwrites the same value rather than adding another.
    settings.write(QStringLiteral("STRURL"), QStringLiteral("http://b/"));
    QCOMPARE(settings.read(QStringLiteral("strUrl"), QString()), QStringLiteral("http://b/"));
    QCOMPARE(home.settingsFileBytes().count("http://"), 1);
}

void TestSettings::emptyTextIsNotTheDefault()
{
    TempConfigHome home;
    Settings settings(home.settingsPath());
    QCOMPARE(settings.read(QStringLiteral("strPort"), QStringLiteral("25")), QStringLiteral("25"));
    settings.write(QStringLiteral("strPort"), QString());
    QCOMPARE(settings.read(QStringLiteral("strPort"), QStringLiteral("25")), QString());
    QCOMPARE(settings.read(QStringLiteral("showHelp"), QStringLiteral("1")), QStringLiteral("1"));
}

void TestSettings::writeIsOnDiskAtOnce()
{
    TempConfigHome home;
    Settings writer(home.settingsPath());
    writer.write(QStringLiteral("OldExternal"), QStringLiteral("203.0.113.9"));
    // An independent reader: the file's own bytes, and a second store object.
    QVERIFY(home.settingsFileBytes().contains("[Settings]"));
    QVERIFY(home.settingsFileBytes().contains("OldExternal=203.0.113.9"));
    SettingsFile reader(home.settingsPath());
    QCOMPARE(reader.read(QStringLiteral("Settings"), QStringLiteral("oldexternal"), QString()),
             QStringLiteral("203.0.113.9"));
    writer.write(QStringLiteral("OldExternal"), QStringLiteral("203.0.113.10"));
    QVERIFY(home.settingsFileBytes().contains("OldExternal=203.0.113.10"));
}

void TestSettings::textsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("body with CR LF") << QStringLiteral("Internal: $Internal$\r\nExternal: $External$");
    QTest::newRow("commas") << QStringLiteral("a, b, c");
    QTest::newRow("quotes and backslashes") << QStringLiteral("\"C:\\x\" 'y' \\n");
    QTest::newRow("semicolon and equals") << QStringLiteral("k=v; other=1 # not a comment");
    QTest::newRow("non-ASCII") << QStringLiteral("pässwörd ✓ 密码");
    QTest::newRow("leading and trailing blanks") << QStringLiteral("  25  ");
    QTest::newRow("section-like") << QStringLiteral("[Settings]\nstrPort=1");
}

void TestSettings::textsRoundTrip()
{
    QFETCH(QString, text);
    TempConfigHome home;
    Settings settings(home.settingsPath());
    settings.write(QStringLiteral("strPassword"), text);
    settings.write(QStringLiteral("strPort"), QStringLiteral("587"));
    QCOMPARE(Settings(home.settingsPath()).read(QStringLiteral("strPassword"), QString()), text);
    QCOMPARE(settings.read(QStringLiteral("strPort"), QString()), QStringLiteral("587"));
}

void TestSettings::fileIsPrivate()
{
    TempConfigHome home;
    Settings settings(home.settingsPath());
    settings.write(QStringLiteral("strPassword"), QStringLiteral("secret"));
    settings.write(QStringLiteral("strUsername"), QStringLiteral("me"));
    struct stat info{};
    QCOMPARE(::stat(QFile::encodeName(home.settingsPath()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

void TestSettings::damagedFileKeepsWhatItCan()
{
    TempConfigHome home;
    home.writeSettingsFile(QByteArray("[Settings]\nstrurl=http://kept/\n\x01\xff\xfe garbage [[[\n=novalue\n"
                                      "no equals sign here\nrefresh=1\n[Settings\nstrPort=\"unterminated\n",
                                      110));
    Settings settings(home.settingsPath());
    QCOMPARE(settings.read(QStringLiteral("strURL"), QString()), QStringLiteral("http://kept/"));
    QCOMPARE(settings.readInt(QStringLiteral("refresh"), 0, 0, 1), 1);
    settings.write(QStringLiteral("chkMin"), QStringLiteral("1"));
    QCOMPARE(settings.read(QStringLiteral("chkMin"), QString()), QStringLiteral("1"));
    QCOMPARE(settings.read(QStringLiteral("strurl"), QString()), QStringLiteral("http://kept/"));

    // A file that is not text at all, and one that is a folder.
    home.writeSettingsFile(QByteArray(4096, '\0'));
    QCOMPARE(Settings(home.settingsPath()).read(QStringLiteral("refresh"), QStringLiteral("0")), QStringLiteral("0"));
    TempConfigHome other;
    QDir().mkpath(other.settingsPath());
    Settings onFolder(other.settingsPath());
    QCOMPARE(onFolder.read(QStringLiteral("refresh"), QStringLiteral("0")), QStringLiteral("0"));
    onFolder.write(QStringLiteral("refresh"), QStringLiteral("1"));  // reported, not thrown
}

void TestSettings::badNumbersCountAsDefault_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("valid") << QByteArray("3") << 3;
    QTest::newRow("blanks around") << QByteArray(" 2 ") << 2;
    QTest::newRow("lowest") << QByteArray("-1") << -1;
    QTest::newRow("too large") << QByteArray("5") << 0;
    QTest::newRow("too small") << QByteArray("-2") << 0;
    QTest::newRow("not a number") << QByteArray("three") << 0;
    QTest::newRow("trailing text") << QByteArray("3x") << 0;
    QTest::newRow("overflow") << QByteArray("99999999999999999999") << 0;
    QTest::newRow("fraction") << QByteArray("1.5") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
}

void TestSettings::badNumbersCountAsDefault()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    TempConfigHome home;
    home.writeSettingsFile("[Settings]\nrefreshrate=" + stored + "\n");
    QCOMPARE(Settings(home.settingsPath()).readInt(QStringLiteral("refreshrate"), 0, -1, 4), expected);
}

void TestSettings::notifySettingsDefaults()
{
    TempConfigHome home;
    Settings settings(home.settingsPath());
    NotifySettings values;
    LoadNotifySettings(settings, values);
    QCOMPARE(values.port, QStringLiteral("25"));
    QCOMPARE(values.encoding, QStringLiteral("MIME"));
    QCOMPARE(values.body, QStringLiteral("Internal: $Internal$\r\nExternal: $External$"));
    QVERIFY(values.emailTo.contains(QLatin1Char('@')));
    QCOMPARE(values.emailFrom, values.emailTo);
    QVERIFY(!values.server.isEmpty());
    QVERIFY(values.url.isEmpty() && values.program.isEmpty() && values.password.isEmpty());
    QVERIFY(!values.useAuth && values.security == MailSecurity::None && !values.useBody);
    QVERIFY(!QFile::exists(home.settingsPath()));  // reading writes nothing
}

void TestSettings::notifySettingsFromStore()
{
    TempConfigHome home;
    home.writeSettingsFile("[Settings]\nstrURL=http://h/?i=$InternalIP$\nchkAuth=1\nchkSSL=yes\nchkBody=2\n"
                           "strPort=\nstrEncoding=UUEncode\n");
    NotifySettings values;
    LoadNotifySettings(Settings(home.settingsPath()), values);
    QCOMPARE(values.url, QStringLiteral("http://h/?i=$InternalIP$"));
    QVERIFY(values.useAuth);
    QVERIFY(values.security == MailSecurity::None);  // chkSSL not a whole number
    QVERIFY(!values.useBody);  // a number, but not 1
    QCOMPARE(values.port, QString());
    QCOMPARE(values.encoding, QStringLiteral("UUEncode"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
