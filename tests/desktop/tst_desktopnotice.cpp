// The desktop notice on a private session bus: a recording service, one that never answers, none, and dunst.
#include "desktop/DesktopNotice.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

/// A notification service that records each Notify call and answers with a new id, or never answers.
class RecordingService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit RecordingService(bool answers)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "peer" + QString::number(++s_count))),
          m_answers(answers)
    {
        m_bus.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots);
        m_bus.registerService("org.freedesktop.Notifications");
    }
    ~RecordingService() override
    {
        m_bus.unregisterService("org.freedesktop.Notifications");
        QDBusConnection::disconnectFromBus(m_bus.name());
    }
    QList<QStringList> calls;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        calls << QStringList{app, QString::number(replaces), icon, summary, body};
        if (!m_answers)
            setDelayedReply(true);
        return 40 + calls.size();
    }

private:
    static inline int s_count = 0;
    QDBusConnection m_bus;
    bool m_answers;
};

class TestDesktopNotice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path())); }

    void recordedNoticeReplacesThePrevious()
    {
        RecordingService service(true);
        DesktopNotice notice;
        QSignalSpy finished(&notice, &DesktopNotice::finished);
        notice.show({{"External", "198.51.100.1", "203.0.113.7"}});
        QVERIFY(finished.wait(5000));
        notice.show({{"Internal", "192.0.2.2", "192.0.2.3"}, {"External", "203.0.113.7", "203.0.113.8"}});
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished[1], (QVariantList{42u, true}));
        QCOMPARE(service.calls[0][1], "0");
        QCOMPARE(service.calls[1].mid(0, 2), (QStringList{"Tarnwick IP Vistrel", "41"}));
        QCOMPARE(service.calls[1].mid(3),
                 (QStringList{"IP address changed",
                              u"Internal: 192.0.2.2 \u2192 192.0.2.3\nExternal: 203.0.113.7 \u2192 203.0.113.8"_qs}));
        QVERIFY(QFile::exists(service.calls[1][2]) || service.calls[1][2] == "tarnwick-ip-vistrel");
    }

    void withoutAnAnswerTheFallbackOrNothing_data()
    {
        QTest::addColumn<QString>("bus");  // "session", "none" (no bus), "silent" (a service that never answers)
        QTest::addColumn<bool>("balloon"); // a tray icon is there to show it
        QTest::newRow("no service, tray") << "session" << true;
        QTest::newRow("no service, no tray") << "session" << false;
        QTest::newRow("no bus") << "none" << true;
        QTest::newRow("service never answers") << "silent" << true;
    }

    void withoutAnAnswerTheFallbackOrNothing()
    {
        QFETCH(QString, bus);
        QFETCH(bool, balloon);
        std::unique_ptr<RecordingService> silent(bus == "silent" ? new RecordingService(false) : nullptr);
        DesktopNotice notice(bus == "none" ? QDBusConnection("absent") : QDBusConnection::sessionBus(), 500);
        QStringList balloons;
        notice.setFallback(
            [&](const QString& summary, const QString& body) { return (balloons << summary + '|' + body, balloon); });
        QSignalSpy finished(&notice, &DesktopNotice::finished);
        QElapsedTimer took;
        took.start();
        notice.show({{"External", "198.51.100.1", "203.0.113.7"}});
        QVERIFY(took.elapsed() < 100); // nothing waits for the service
        QVERIFY(!finished.isEmpty() || finished.wait(5000));
        QVERIFY(!silent || (took.elapsed() >= 400 && silent->calls.size() == 1));
        QCOMPARE(finished[0], (QVariantList{0u, balloon}));
        QCOMPARE(balloons, QStringList{u"IP address changed|External: 198.51.100.1 \u2192 203.0.113.7"_qs});
    }

    void dunstShowsTheNoticeUnderXvfb()
    {
        QProcess xvfb, dunst;
        xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-terminate", "-screen", "0", "640x480x24"});
        if (!xvfb.waitForStarted(5000))
            QSKIP("no Xvfb");
        QVERIFY(xvfb.waitForReadyRead(10000));
        QTemporaryDir config;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", ":" + QString::fromLatin1(xvfb.readLine()).trimmed());
        env.insert("XDG_CONFIG_HOME", config.path());
        dunst.setProcessEnvironment(env);
        QDBusServiceWatcher watcher("org.freedesktop.Notifications", QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForRegistration);
        QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
        dunst.start("dunst", {});
        QVERIFY2(registered.wait(10000), dunst.readAllStandardError().constData());

        DesktopNotice notice;
        QSignalSpy finished(&notice, &DesktopNotice::finished);
        notice.show({{"External", "198.51.100.1", "203.0.113.7"}});
        QVERIFY(finished.wait(5000));
        const uint id = finished[0][0].toUInt();
        notice.show({{"External", "203.0.113.7", "203.0.113.8"}});
        QVERIFY(finished.wait(5000));
        QVERIFY(id > 0);
        QCOMPARE(finished[1], (QVariantList{id, true})); // replaced, not a second notice
        dunst.terminate();
        dunst.waitForFinished(5000);
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }

private:
    QTemporaryDir m_cache;
};

QTEST_MAIN(TestDesktopNotice)
#include "tst_desktopnotice.moc"
