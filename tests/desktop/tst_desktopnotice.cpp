// The desktop notice on a private session bus: a service that records the calls, one that never answers, none.
#include "desktop/DesktopNotice.h"

#include <QDBusContext>
#include <QtTest>

class NotificationService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit NotificationService(bool answers) : m_answers(answers)
    {
        m_bus.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots);
        m_bus.registerService("org.freedesktop.Notifications");
    }
    ~NotificationService() override { QDBusConnection::disconnectFromBus(m_bus.name()); }
    QList<QStringList> calls;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        calls << QStringList{app, QString::number(replaces), icon, summary, body};
        setDelayedReply(!m_answers);
        return 40 + calls.size();
    }

private:
    inline static int s_count = 0;
    QDBusConnection m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QString::number(++s_count));
    bool m_answers;
};

class TestDesktopNotice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path())); }

    void noticeOrFallback_data()
    {
        QTest::addColumn<QString>("service");  // "recording", "silent" (never answers), "none", "no bus"
        QTest::addColumn<bool>("tray");        // whether a tray icon is there to show the balloon
        QTest::addColumn<QVariantList>("finished");
        QTest::newRow("replaces the previous") << "recording" << true << QVariantList{42u, true};
        QTest::newRow("never answers") << "silent" << true << QVariantList{0u, true};
        QTest::newRow("no service, tray") << "none" << true << QVariantList{0u, true};
        QTest::newRow("no service, no tray") << "none" << false << QVariantList{0u, false};
        QTest::newRow("no session bus") << "no bus" << true << QVariantList{0u, true};
    }

    void noticeOrFallback()
    {
        QFETCH(QString, service);
        QFETCH(bool, tray);
        std::optional<NotificationService> peer;
        if (service == "recording" || service == "silent")
            peer.emplace(service == "recording");
        DesktopNotice notice(service == "no bus" ? QDBusConnection("absent") : QDBusConnection::sessionBus(), 400);
        QStringList balloons;
        notice.setFallback([&](const QString& summary, const QString& body) { return (balloons << summary + body, tray); });
        QSignalSpy finished(&notice, &DesktopNotice::finished);
        QElapsedTimer took;
        took.start();
        if (service == "recording") {
            notice.show({{"External", "198.51.100.1", "203.0.113.7"}});
            QVERIFY(finished.wait(5000));
            finished.clear();
        }
        notice.show({{"Internal", "192.0.2.2", "192.0.2.3"}, {"External", "198.51.100.1", "203.0.113.8"}});
        QVERIFY(took.elapsed() < 200);  // nothing waits for the service
        QVERIFY(!finished.isEmpty() || finished.wait(5000));
        QTEST(finished.value(0), "finished");
        const QString body = u"Internal: 192.0.2.2 \u2192 192.0.2.3\nExternal: 198.51.100.1 \u2192 203.0.113.8"_qs;
        QCOMPARE(balloons, service == "recording" ? QStringList() : QStringList{"IP address changed" + body});
        QVERIFY(service != "silent" || took.elapsed() >= 350);  // the balloon after the reply time-out
        if (service == "recording") {
            QCOMPARE(peer->calls[1].mid(0, 2), (QStringList{"Tarnwick IP Vistrel", "41"}));
            QCOMPARE(peer->calls[1].mid(3), (QStringList{"IP address changed", body}));
            QVERIFY(QFile::exists(peer->calls[1][2]));  // the icon, not installed: a file
        }
    }

private:
    QTemporaryDir m_cache;
};

QTEST_MAIN(TestDesktopNotice)
#include "tst_desktopnotice.moc"
