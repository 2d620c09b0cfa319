// The settings stores under Wine or Windows: the registry (each write checked with reg.exe), the Run key, and the
// INI file that --config names.
#include "platform/RunAtLogon.h"
#include "platform/SettingsFile.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class TestRegistry : public QObject
{
    Q_OBJECT
private:
    // A key of this test's own, removed at the end.
    const QString m_key = QStringLiteral("HKEY_CURRENT_USER\\Software\\Tarnwick IP Vistrel tests\\%1")
                              .arg(QRandomGenerator::global()->generate());

    static QString reg(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral("reg.exe"), arguments);
        if (!process.waitForFinished(60000))
            return QStringLiteral("(reg.exe did not finish)");
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

private slots:
    void cleanupTestCase() { reg({QStringLiteral("delete"), m_key, QStringLiteral("/f")}); }

    void defaultStoreIsTheRegistry()
    {
        const QString store = SettingsFile::defaultPath(QStringLiteral("Tarnwick IP Vistrel"));
        QCOMPARE(store,
                 QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Tarnwick IP Vistrel"));
        QVERIFY(!SettingsFile::isFile(store));
        QVERIFY(SettingsFile::instanceLockPath(store).endsWith(
            QStringLiteral("/Tarnwick IP Vistrel/Settings.instance.lock")));
        QVERIFY(SettingsFile::isFile(QStringLiteral("C:\\Users\\me\\work.conf")));
    }

    void settingsStore_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << QStringLiteral("http://127.0.0.1:8080/ip");
        QTest::newRow("what an INI file would quote") << QStringLiteral(" a;b,c=\"d\" \\e@ ");
        QTest::newRow("not Latin-1") << QStringLiteral("Grüße, Zoë — 名前");
        QTest::newRow("empty") << QString();
    }
    void settingsStore()
    {
        QFETCH(QString, value);
        SettingsFile store(m_key);
        QVERIFY(store.write(QStringLiteral("Settings"), QStringLiteral("strURL"), value));
        QCOMPARE(store.value(QStringLiteral("SETTINGS"), QStringLiteral("strurl")), std::optional<QString>(value));
        // One REG_SZ per key, in a subkey per section.
        const QString listed = reg({QStringLiteral("query"), m_key + QStringLiteral("\\Settings"), QStringLiteral("/v"),
                                    QStringLiteral("strURL")});
        QVERIFY2(listed.contains(QStringLiteral("REG_SZ")), qPrintable(listed));
        if (!value.trimmed().isEmpty() && value.toLatin1() == value.toLocal8Bit())
            QVERIFY2(listed.contains(value.trimmed()), qPrintable(listed));
    }

    void readsWhatOthersWrote()
    {
        const QString section = m_key + QStringLiteral("\\Options");
        reg({QStringLiteral("add"), section, QStringLiteral("/v"), QStringLiteral("Interval"), QStringLiteral("/t"),
             QStringLiteral("REG_SZ"), QStringLiteral("/d"), QStringLiteral("15"), QStringLiteral("/f")});
        reg({QStringLiteral("add"), section, QStringLiteral("/v"), QStringLiteral("Number"), QStringLiteral("/t"),
             QStringLiteral("REG_DWORD"), QStringLiteral("/d"), QStringLiteral("7"), QStringLiteral("/f")});
        const SettingsFile store(m_key);
        QCOMPARE(store.read(QStringLiteral("options"), QStringLiteral("INTERVAL"), QString()), QStringLiteral("15"));
        // What is no text counts as missing: the key's default then applies.
        QCOMPARE(store.value(QStringLiteral("Options"), QStringLiteral("Number")), std::nullopt);
        QCOMPARE(store.value(QStringLiteral("Options"), QStringLiteral("absent")), std::nullopt);
        QCOMPARE(store.value(QStringLiteral("No such section"), QStringLiteral("Interval")), std::nullopt);
    }

    // --config: an INI file as on Linux, rewritten whole through a file that replaces it.
    void configFile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("home.conf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("; mine\r\n[Settings]\r\nstrURL = http://a/?x=1;y\r\n");
        file.close();
        SettingsFile store(path);
        QCOMPARE(store.read(QStringLiteral("settings"), QStringLiteral("STRURL"), QString()),
                 QStringLiteral("http://a/?x=1;y"));
        const StoreResult written = store.write(QStringLiteral("Settings"), QStringLiteral("added"), QStringLiteral("1"));
        QVERIFY2(written.ok, qPrintable(written.reason));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("; mine\r\n[Settings]\r\nstrURL = http://a/?x=1;y\r\nadded=1\n"));
        file.close();

        QVERIFY(file.open(QIODevice::WriteOnly)); // changed behind the store's back, and too large
        file.write("[Settings]\nstrURL=" + QByteArray(1 << 20, 'x') + '\n');
        file.close();
        QString error;
        QVERIFY(!SettingsFile::check(path, &error));
        QCOMPARE(error, QStringLiteral("it is larger than 1 MiB"));
        QCOMPARE(store.value(QStringLiteral("Settings"), QStringLiteral("added")), std::nullopt);
        QVERIFY(!store.write(QStringLiteral("Settings"), QStringLiteral("added"), QStringLiteral("2")));
    }

    void runKey()
    {
        RunAtLogon run(m_key + QStringLiteral("\\Run"));
        const QString program = QStringLiteral("C:\\Program Files\\Tarnwick\\tarnwick-ip-vistrel.exe");
        QString error;
        QVERIFY2(run.add(QStringLiteral("Tarnwick IP Vistrel"), program, &error), qPrintable(error));
        const QString listed = reg({QStringLiteral("query"), m_key + QStringLiteral("\\Run")});
        QVERIFY2(listed.contains(QStringLiteral("Tarnwick IP Vistrel    REG_SZ    \"") + program + QLatin1Char('"')),
                 qPrintable(listed));
        QVERIFY(!run.add(QStringLiteral("a\\b"), program, &error));
        QVERIFY(!run.add(QStringLiteral("x"), QStringLiteral("relative.exe"), &error));

        QVERIFY2(run.remove(QStringLiteral("tarnwick ip vistrel"), &error), qPrintable(error));
        QVERIFY(!reg({QStringLiteral("query"), m_key + QStringLiteral("\\Run")}).contains(QStringLiteral("REG_SZ")));
        // Gone, or never there: fine.
        QVERIFY2(run.remove(QStringLiteral("Tarnwick IP Vistrel"), &error), qPrintable(error));
        QVERIFY2(RunAtLogon(m_key + QStringLiteral("\\None")).remove(QStringLiteral("x"), &error),
                 qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
