// The retry schedule of failed notifications, its stored form and its summary, with a fixed clock; a mail
// refused by aiosmtpd at the change and sent again by the watcher after a restart.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "core/AddressWatcher.h"
#include "core/PendingNotices.h"
#include "core/Settings.h"
#include "notify/NotificationService.h"
#include "notify/WatcherNotificationHost.h"
#include "platform/ProcessLauncher.h"

#include <QtTest>

using Kind = PendingNotices::Kind;

class TestPendingNotices : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Settings m_settings{m_dir.filePath(QStringLiteral("settings.conf"))};
    QDateTime m_now;

    void start(PendingNotices& notices)
    {
        m_now = QDateTime(QDate(2026, 12, 7), QTime(1, 0, 0), Qt::UTC);
        notices.setClock([this] { return m_now; });
    }

private slots:
    void initTestCase() { qputenv("TZ", "UTC"); }

    void eachFailureWaitsTheNextStepAndANewerChangeStartsAgain()
    {
        PendingNotices notices(m_settings);
        start(notices);
        QSignalSpy due(&notices, &PendingNotices::due);
        for (const int minutes : {0, 1, 2, 5, 10, 30, 60, 60, 60}) {
            notices.failed(Kind::Web);
            QCOMPARE(m_now.secsTo(notices.dueAt(Kind::Web)), minutes ? minutes * 60 : 30);
            m_now = notices.dueAt(Kind::Web).addSecs(-1);
            notices.fireDueNow();
            QCOMPARE(due.size(), 0);
            m_now = m_now.addSecs(1);
            notices.fireDueNow();
            notices.fireDueNow(); // already being tried: not twice
            QCOMPARE(due.size(), 1);
            due.clear();
        }
        notices.failed(Kind::Mail);
        QCOMPARE(notices.summary(), QStringLiteral("Mail and web notices pending, trying again now"));
        notices.succeeded(Kind::Web);
        QCOMPARE(notices.summary(), QStringLiteral("Mail notice pending, next try at 04:49:00"));
        QCOMPARE(notices.owe({}), QString()); // a newer change that owes nothing
        notices.failed(Kind::Web);
        QCOMPARE(m_now.secsTo(notices.dueAt(Kind::Web)), 30);
    }

    void eachWebEntryWaitsOnItsOwnAndRetryAfterIsBounded()
    {
        PendingNotices notices(m_settings);
        start(notices);
        QSignalSpy due(&notices, &PendingNotices::due);
        notices.failed(Kind::Web, 1, m_now.addSecs(7200));
        notices.failed(Kind::Web, 8, m_now.addDays(3)); // believed for a day
        notices.failed(Kind::Web, 0, m_now.addSecs(5)); // sooner than the schedule: the schedule holds
        QCOMPARE(m_settings.read("pendingNotices", ""),
                 QStringLiteral("web:1:2026-12-07T01:00:30Z;web2:1:2026-12-07T03:00:00Z;web9:1:2026-12-08T01:00:00Z"));
        QCOMPARE(notices.summary(), QStringLiteral("Web, web 2 and web 9 notices pending, next try at 01:00:30"));
        m_now = m_now.addSecs(7200);
        notices.fireDueNow();
        QCOMPARE(due.size(), 2); // the first and the second, not the ninth
        QCOMPARE(due.at(1).at(1).toInt(), 1);
        notices.succeeded(Kind::Web, 1);
        QVERIFY(notices.isPending(Kind::Web, 8) && !notices.isPending(Kind::Web, 1));
    }

    void damagedEntryIsNothingPending_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("kept");
        const QString web = QStringLiteral("web:1:2026-12-07T00:59:00Z");
        QTest::newRow("unknown kind") << "fax:1:2026-12-07T01:02:03Z;" + web << web;
        QTest::newRow("bad numbers, owed kept")
            << "mail:00:2026-12-07T01:02:03Z;program:+3:2026-12-07T01:02:03Z;" + web + ";dnsapi:0:2026-12-07T01:02:03Z"
            << web + ";dnsapi:0:2026-12-07T01:02:03Z";
        QTest::newRow("number overflows") << QStringLiteral("mail:99999999999:2026-12-07T01:02:03Z") << QString();
        QTest::newRow("month 13, offset")
            << QStringLiteral("mail:1:2026-13-07T01:02:03Z;") + web + ";program:1:2026-12-07T01:02:03+01:00" << web;
        QTest::newRow("kind twice") << "mail:1:2026-12-07T01:02:03Z;" + web + ";mail:2:2026-12-07T01:02:03Z" << web;
        QTest::newRow("too long") << web + QString(PendingNotices::MaxTextLength, u';') << QString();
        QTest::newRow("control bytes") << QStringLiteral("\x01;mail:1:\x7f;;") + web << web;
        QTest::newRow("web entries 2 to 9 only")
            << "web1:1:2026-12-07T01:02:03Z;web10:1:2026-12-07T01:02:03Z;web9:2:2026-12-07T01:02:03Z;" + web
            << web + ";web9:2:2026-12-07T01:02:03Z";
    }

    void damagedEntryIsNothingPending()
    {
        QFETCH(QString, stored);
        QTEST(PendingNotices::format(PendingNotices::parse(stored)), "kept");
    }

    void refusedMailArrivesAtTheNextTryOnceAfterARestart()
    {
        NginxPeer nginx;
        PeerProcess smtp;
        QVERIFY2(nginx.start() && smtp.start("smtp_peer.py", {"--cycle", "reject,plain,plain"}),
                 qPrintable(nginx.error() + smtp.error()));
        nginx.setBody(QStringLiteral("ip"), "203.0.113.7\n");
        qputenv("VISTREL_ADDRESS_SOURCES", nginx.url(QStringLiteral("/body/ip")).toEncoded());
        TempConfigHome home;
        home.writeSettingsFile("[Settings]\nOldInternal=10.0.0.2\nOldExternal=198.51.100.1\nemailNotify=1\n"
                               "strServer=127.0.0.1\nstrEmailTo=to@example.org\nstrPort=" +
                               QByteArray::number(smtp.port()) + "\n");
        DetachedProcessLauncher launcher;
        for (const bool restarted : {false, true}) {
            Settings settings(home.settingsPath());
            AddressWatcher watcher(settings);
            WatcherNotificationHost host(watcher);
            NotificationService service(host, launcher);
            watcher.setNotifiers(&service);
            watcher.setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
            watcher.setIPv6RouteProbe([] { return false; });
            start(watcher.pendingNotices());
            m_now = m_now.addSecs(restarted ? 30 : 0); // at restart, the next try is due
            watcher.load();
            watcher.lookUp();
            QTRY_VERIFY_WITH_TIMEOUT(restarted ? !watcher.pendingNotices().isPending(Kind::Mail)
                                               : watcher.pendingNotices().failures(Kind::Mail) == 1,
                                     10000);
            if (!restarted) {
                QCOMPARE(settings.read("pendingNotices", ""), QStringLiteral("mail:1:2026-12-07T01:00:30Z"));
                const QString pending = QStringLiteral(" (Mail notice pending, next try at 01:00:30)");
                const QString failure = watcher.status().chopped(pending.size());
                QVERIFY2(failure.startsWith("Error: 550") && watcher.status().endsWith(pending),
                         qPrintable(watcher.status()));
                QCOMPARE(watcher.state().headline(), QStringLiteral("Notice pending: mail"));
                // Switched off: pending no more, in the store, the status line and the state.
                settings.writeFlag(Key::MailNotify, false);
                QCOMPARE((QStringList{settings.read("pendingNotices", ""), watcher.status()}),
                         (QStringList{QString(), failure}));
                QCOMPARE(watcher.state().condition, WatchState::Condition::Current);
                settings.writeFlag(Key::MailNotify, true);
                watcher.pendingNotices().failed(Kind::Mail); // as it was
                // Dropped (a newer change came): neither the status line nor the state says it is pending.
                watcher.pendingNotices().owe({});
                QCOMPARE(watcher.status(), failure);
                QCOMPARE(watcher.state().condition, WatchState::Condition::Current);
                watcher.pendingNotices().failed(Kind::Mail); // as it was, for the restart
                QCOMPARE(watcher.status(), failure + pending);
            }
            watcher.shutdown();
        }
        QCOMPARE(Settings(home.settingsPath()).read("pendingNotices", "unset"), QString());
        QCOMPARE(smtp.readLines(1000).filter(QRegularExpression("^MESSAGE ")).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPendingNotices)
#include "tst_pendingnotices.moc"
