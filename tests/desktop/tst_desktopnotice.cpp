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
    QStringList calls;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        calls << QStringList{app, QString::number(replaces), QFileInfo(icon).suffix(), summary, body}.join('|');
        setDelayedReply(!m_answers);
        return 40 + calls.size();
    }

private:
    QDBusConnection m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QUuid::createUuid().toString());
    bool m_answers;
};

class TestDesktopNotice : public QObject
{
    Q_OBJECT
private slots:
    void noticeOrFallback_data()
    {
        QTest::addColumn<QString>("service"); // "recording", "silent" (never answers), "none", "no bus"
        QTest::addColumn<bool>("tray");       // whether a tray icon is there to show the balloon
        QTest::addColumn<QVariantList>("finished");
        QTest::newRow("replaces the previous") << "recording" << true << QVariantList{42u, true};
        QTest::newRow("never answers") << "silent" << true << QVariantList{0u, true};
        QTest::newRow("no service, no tray") << "none" << false << QVariantList{0u, false};
        QTest::newRow("no session bus") << "no bus" << true << QVariantList{0u, true};
    }

    void noticeOrFallback()
    {
        QFETCH(QString, service);
        QFETCH(bool, tray);
        QTemporaryDir cache; // where the icon file goes
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        std::optional<NotificationService> peer;
        if (service == "recording" || service == "silent")
            peer.emplace(service == "recording");
        DesktopNotice notice(service == "no bus" ? QDBusConnection("absent") : QDBusConnection::sessionBus(), 400);
        QStringList balloons;
        notice.setFallback(
            [&](const QString& summary, const QString& text) { return (balloons << summary + text), tray; });
        QSignalSpy finished(&notice, &DesktopNotice::finished);
        for (const QString after : {"203.0.113.7", "203.0.113.8"}) {
            QElapsedTimer took;
            took.start();
            notice.show({{"Internal", "192.0.2.2", "192.0.2.3"}, {"External", "198.51.100.1", after}});
            QVERIFY(took.elapsed() < 200); // nothing waits for the service
            QTRY_VERIFY_WITH_TIMEOUT(finished.size() == (after.endsWith('7') ? 1 : 2), 5000);
            QVERIFY(service != "silent" || took.elapsed() >= 350); // the balloon after the reply time-out
        }
        QTEST(finished[1], "finished");
        const QString body = u"Internal: 192.0.2.2 \u2192 192.0.2.3\nExternal: 198.51.100.1 \u2192 203.0.113.8"_qs;
        QCOMPARE(balloons.value(1), service == "recording" ? QString() : "IP address changed" + body);
        if (service == "recording") // 41: the first notice's id; an icon file, as none is installed
            QCOMPARE(peer->calls.value(1), "Tarnwick IP Vistrel|41|png|IP address changed|" + body);
    }
};

QTEST_MAIN(TestDesktopNotice)
#include "tst_desktopnotice.moc"
