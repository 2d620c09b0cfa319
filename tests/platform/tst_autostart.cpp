// The XDG autostart entry: the Exec= line quoted and escaped, refused paths, the removal of exactly its own entry.
#include "platform/RunAtLogon.h"

#include <QtTest>

class TestAutostart : public QObject
{
    Q_OBJECT
private slots:
    void autostartEntry_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec"); // empty: refused
        QTest::newRow("blanks") << "/home/me/My Apps/v"
                                << "\"/home/me/My Apps/v\"";
        QTest::newRow("dollar and backtick") << "/opt/a$HOME`x`/v"
                                             << "\"/opt/a\\\\$HOME\\\\`x\\\\`/v\"";
        QTest::newRow("double quote and backslash") << "/opt/\"hi\\/v"
                                                    << "\"/opt/\\\\\"hi\\\\\\\\/v\"";
        QTest::newRow("percent is no field code") << "/opt/100%f/v"
                                                  << "\"/opt/100%%f/v\"";
        QTest::newRow("relative path") << "opt/v"
                                       << "";
        QTest::newRow("line end") << "/opt/v\nHidden=true"
                                  << "";
    }

    void autostartEntry()
    {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QTemporaryDir dir;
        RunAtLogon entry(dir.path());
        QString error;
        QCOMPARE(entry.add("Tarnwick IP Vistrel", path, &error), !exec.isEmpty());
        QFile file(dir.filePath("Tarnwick IP Vistrel.desktop"));
        QCOMPARE(file.open(QIODevice::ReadOnly), !exec.isEmpty());
        const QByteArray written = file.readAll();
        QVERIFY(exec.isEmpty() || (written.startsWith("[Desktop Entry]\nType=Application\n") &&
                                   written.contains("\nExec=" + exec.toUtf8() + '\n')));
        QVERIFY(QFile(dir.filePath("tarnwick ip vistrel.desktop")).open(QIODevice::WriteOnly));
        QVERIFY(entry.remove("Tarnwick IP Vistrel", &error)); // that entry and no other
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"tarnwick ip vistrel.desktop"});
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
