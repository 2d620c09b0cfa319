// The watcher's cycle against nginx as the address source: one lookup and the notices it started end it once;
// a notice that runs between lookups ends none. The notifiers are held here so that each ends when the test says.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "core/AddressWatcher.h"
#include "core/Settings.h"

#include <QtTest>

using Outcome = AddressWatcher::Outcome;
using Phase = AddressWatcher::Phase;

class TestAddressWatcher : public QObject, Notifiers
{
    Q_OBJECT
    NginxPeer m_nginx;
    TempConfigHome m_home;
    QList<Done> m_running; // notices started and not yet ended
    std::optional<Settings> m_settings;

    void notify(Kind, Done done) override { m_running << std::move(done); }
    void abort() override {}
    // The first lookup finds a change that owes one web notice.
    Settings& remembering()
    {
        m_home.writeSettingsFile("[Settings]\nOldExternal=198.51.100.1\nOldInternal=10.0.0.2\nwebNotify=1\n");
        return m_settings.emplace(m_home.settingsPath());
    }
    void start(AddressWatcher& watcher)
    {
        watcher.setNotifiers(this);
        watcher.setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
        watcher.load();
    }
    void lookUp(AddressWatcher& watcher, const QByteArray& body)
    {
        m_nginx.setBody(QStringLiteral("ip"), body);
        QSignalSpy done(&watcher, &AddressWatcher::lookupFinished);
        watcher.lookUp();
        QCOMPARE(watcher.phase(), Phase::LookingUp);
        QVERIFY(done.wait(10000));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_nginx.start(), qPrintable(m_nginx.error()));
        qputenv("VISTREL_ADDRESS_SOURCES", m_nginx.url(QStringLiteral("/body/ip")).toEncoded());
        qputenv("VISTREL_ADDRESS6_SOURCES", QByteArray());
    }

    void eachCycleEndsOnce()
    {
        AddressWatcher watcher(remembering());
        start(watcher);
        QDateTime now = QDateTime::currentDateTimeUtc();
        watcher.pendingNotices().setClock([&now] { return now; });
        QSignalSpy ended(&watcher, &AddressWatcher::cycleFinished);

        // A change: the cycle runs until its notice has ended.
        lookUp(watcher, "203.0.113.1");
        QCOMPARE(watcher.phase(), Phase::Notifying);
        QCOMPARE(m_running.size(), 1);
        m_running.takeFirst()(NotificationResult::delivered());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.takeFirst().at(0).value<Outcome>(), Outcome::Notified);
        QVERIFY(!watcher.isCycleRunning());

        // A failed lookup while notices of earlier changes run ends its cycle, and their ends no other. Only the
        // newest change's outcome is recorded.
        lookUp(watcher, "203.0.113.2");
        lookUp(watcher, "203.0.113.3");
        lookUp(watcher, "error");
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.takeFirst().at(0).value<Outcome>(), Outcome::LookupFailed);
        m_running.takeFirst()(NotificationResult::failed());
        QCOMPARE(watcher.pendingNotices().failures(Notifiers::Kind::Web, 0), 0);
        QStringList status;
        connect(&watcher, &AddressWatcher::statusChanged, this, [&status](const QString& text) { status << text; });
        m_running.takeFirst()(NotificationResult::failed(QStringLiteral("Error: Web: refused")));
        QCOMPARE(watcher.pendingNotices().failures(Notifiers::Kind::Web, 0), 1);
        QVERIFY2(status.value(status.size() - 1).startsWith("Error: Web: refused"), qPrintable(status.join(u'\n')));
        QVERIFY(ended.isEmpty() && watcher.phase() == Phase::Idle);

        // The failed notice tried again between lookups: no cycle starts or ends.
        now = now.addSecs(60);
        watcher.pendingNotices().fireDueNow();
        QCOMPARE(m_running.size(), 1);
        QVERIFY(!watcher.isCycleRunning());
        m_running.takeFirst()(NotificationResult::delivered());
        QVERIFY(ended.isEmpty() && watcher.pendingNotices().summary().isEmpty());
        // The error is no longer the news once a notice went out, but stays, with its time.
        QVERIFY2(status.value(status.size() - 1).startsWith("Earlier error (") &&
                     status.value(status.size() - 1).contains("): Web: refused"),
                 qPrintable(status.join(u'\n')));
    }

    void eachChangeHasItsOwnOutcome()
    {
        AddressWatcher watcher(remembering());
        start(watcher);
        QSignalSpy ended(&watcher, &AddressWatcher::cycleFinished);
        lookUp(watcher, "203.0.113.1");
        lookUp(watcher, "203.0.113.2"); // a newer change while the older one's notice runs
        m_running.takeFirst()(NotificationResult::failed());
        m_running.takeFirst()(NotificationResult::delivered());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.takeFirst().at(0).value<Outcome>(), Outcome::Notified);
    }
};

QTEST_GUILESS_MAIN(TestAddressWatcher)
#include "tst_addresswatcher.moc"
