// The retry schedule of failed notifications, its stored form and its summary, with a fixed clock; a mail
// refused by aiosmtpd at the change and sent again by the watcher after a restart.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "app/AddressWatcher.h"
#include "app/PendingNotices.h"
#include "app/Settings.h"
#include "notify/NotificationService.h"
#include "notify/WatcherNotificationHost.h"
#include "platform/HttpGet.h"
#include "platform/ProcessLauncher.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Kind = PendingNotices::Kind;

class TestPendingNotices : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Settings m_settings{m_dir.filePath(QStringLiteral("settings.conf"))};
    const QDateTime m_start = QDateTime(QDate(2026, 12, 7), QTime(1, 0, 0), Qt::UTC);
    QDateTime m_now;

    void start(PendingNotices& notices)
    {
        m_now = m_start;
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
        notices.replace();
        QVERIFY(notices.isEmpty());
        QCOMPARE(m_settings.read(PendingNotices::SettingsKey, "unset"), QString());
        notices.failed(Kind::Web);
        QCOMPARE(m_now.secsTo(notices.dueAt(Kind::Web)), 30);
    }

    void pendingSurvivesARestart()
    {
        {
            PendingNotices notices(m_settings);
            start(notices);
            notices.failed(Kind::Mail);
            notices.failed(Kind::Mail);
            notices.failed(Kind::Program);
        }
        Settings settings(m_settings.path());
        QCOMPARE(settings.read(PendingNotices::SettingsKey, QString()),
                 QStringLiteral("mail:2:2026-12-07T01:01:00Z;program:1:2026-12-07T01:00:30Z"));
        PendingNotices notices(settings);
        start(notices);
        m_now = m_now.addSecs(45); // the program was down while program start was due
        QSignalSpy due(&notices, &PendingNotices::due);
        notices.load();
        QCOMPARE(notices.failures(Kind::Mail), 2);
        QVERIFY(due.isEmpty() && due.wait(1000)); // once the event loop runs
        QCOMPARE(due.takeFirst().first().value<Kind>(), Kind::Program);
        QCOMPARE(notices.summary(m_now), QStringLiteral("Mail and program notices pending, trying again now"));
        notices.succeeded(Kind::Program);
        QCOMPARE(notices.summary(m_now), QStringLiteral("Mail notice pending, next try at 01:01:00"));
    }

    void damagedEntryIsNothingPending_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("kept");
        const QString web = QStringLiteral("web:1:2026-12-07T00:59:00Z");
        QTest::newRow("unknown kind") << "fax:1:2026-12-07T01:02:03Z;" + web << web;
        QTest::newRow("bad numbers") << "mail:0:2026-12-07T01:02:03Z;program:+3:2026-12-07T01:02:03Z;" + web << web;
        QTest::newRow("number overflows") << QStringLiteral("mail:99999999999:2026-12-07T01:02:03Z") << QString();
        QTest::newRow("month 13") << QStringLiteral("mail:1:2026-13-07T01:02:03Z") << QString();
        QTest::newRow("offset") << QStringLiteral("mail:1:2026-12-07T01:02:03+01:00") << QString();
        QTest::newRow("kind twice") << "mail:1:2026-12-07T01:02:03Z;" + web + ";mail:2:2026-12-07T01:02:03Z" << web;
        QTest::newRow("too long") << web + QString(PendingNotices::MaxTextLength, u';') << QString();
        QTest::newRow("control bytes") << QStringLiteral("\x01;mail:1:\x7f;;") + web << web;
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
        QString error;
        QVERIFY2(nginx.start(&error) && smtp.start("smtp_peer.py", {"--cycle", "reject,plain,plain"}, &error),
                 qPrintable(error));
        nginx.setBody(QStringLiteral("ip"), "203.0.113.7\n");
        qputenv("VISTREL_ADDRESS_SOURCES", nginx.url(QStringLiteral("/body/ip")).toEncoded());
        TempConfigHome home;
        home.writeSettingsFile("[Settings]\nOldInternal=10.0.0.2\nOldExternal=198.51.100.1\nemailNotify=1\n"
                               "strServer=127.0.0.1\nstrEmailTo=to@example.org\nstrPort=" +
                               QByteArray::number(smtp.port()) + "\n");
        HttpGet http;
        DetachedProcessLauncher launcher;
        for (const bool restarted : {false, true}) {
            Settings settings(home.settingsPath());
            AddressWatcher watcher(settings);
            WatcherNotificationHost host(watcher, http);
            NotificationService service(host, launcher);
            watcher.setNotifiers(&service);
            watcher.setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
            watcher.setIPv6RouteProbe([] { return false; });
            start(watcher.pendingNotices());
            m_now = m_now.addSecs(restarted ? 30 : 0); // at restart, the next try is due
            watcher.load();
            watcher.lookUp();
            if (!restarted) {
                QTRY_VERIFY_WITH_TIMEOUT(watcher.pendingNotices().isPending(Kind::Mail), 10000);
                QVERIFY2(watcher.status().startsWith("Error: 550") &&
                             watcher.status().endsWith("(Mail notice pending, next try at 01:00:30)"),
                         qPrintable(watcher.status()));
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(!watcher.pendingNotices().isPending(Kind::Mail), 10000);
            }
            watcher.shutdown();
        }
        QCOMPARE(Settings(home.settingsPath()).read(PendingNotices::SettingsKey, "unset"), QString());
        QCOMPARE(smtp.readLines(1000).filter(QRegularExpression("^MESSAGE ")).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPendingNotices)
#include "tst_pendingnotices.moc"
