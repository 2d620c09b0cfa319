// The desktop notice when no service answers: one that takes the call and never answers, none, no session bus.
#include "desktop/DesktopNotice.h"

#include <QtTest>

class TestDesktopNotice : public QObject
{
    Q_OBJECT
private slots:
    void fallbackWithoutAnAnswer_data()
    {
        QTest::addColumn<QString>("service"); // "silent", "none", "no bus"
        QTest::addColumn<bool>("tray");       // whether a tray icon is there to show the balloon
        QTest::newRow("never answers") << "silent" << true;
        QTest::newRow("no service, no tray") << "none" << false;
        QTest::newRow("no session bus") << "no bus" << true;
    }

    void fallbackWithoutAnAnswer()
    {
        QFETCH(QString, service);
        QFETCH(bool, tray);
        QTemporaryDir cache; // where the icon file goes
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        QProcess silent; // owns the name and reads no message; it ends when its input closes
        if (service == "silent") {
            silent.start("/usr/bin/python3", {"-c", "import dbus, sys; dbus.SessionBus().request_name('org.freedesktop."
                                                    "Notifications'); print(flush=True); sys.stdin.read()"});
            QVERIFY(silent.waitForReadyRead(10000));
        }
        DesktopNotice notice(service == "no bus" ? QDBusConnection("absent") : QDBusConnection::sessionBus(), 400);
        QStringList balloons;
        notice.setFallback(
            [&](const QString& summary, const QString& text) { return (balloons << summary + text), tray; });
        QSignalSpy finished(&notice, &DesktopNotice::finished);
        QElapsedTimer took;
        took.start();
        notice.show({{"Internal", "192.0.2.2", "192.0.2.3"}, {"External", "198.51.100.1", "203.0.113.8"}});
        QVERIFY(took.elapsed() < 200); // nothing waits for the service
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
        QVERIFY(service != "silent" || took.elapsed() >= 350); // the balloon after the reply time-out
        QCOMPARE(finished[0], (QVariantList{0u, tray}));
        QCOMPARE(balloons, QStringList{u"IP address changedInternal: 192.0.2.2 \u2192 192.0.2.3\n"
                                       u"External: 198.51.100.1 \u2192 203.0.113.8"_qs});
        silent.closeWriteChannel();
        silent.waitForFinished();
    }
};

QTEST_MAIN(TestDesktopNotice)
#include "tst_desktopnotice.moc"
