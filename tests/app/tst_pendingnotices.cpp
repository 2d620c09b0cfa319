// The retry schedule of failed notifications, its stored form and its summary, with a fixed clock.
#include "app/PendingNotices.h"
#include "app/Settings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

using Kind = PendingNotices::Kind;

class TestPendingNotices : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QDateTime m_now;

    QString settingsPath() const { return m_dir.filePath(QStringLiteral("settings.conf")); }
    void useClock(PendingNotices& notices)
    {
        notices.setClock([this] { return m_now; });
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void init()
    {
        QFile::remove(settingsPath());
        m_now = QDateTime(QDate(2026, 12, 7), QTime(1, 0, 0), Qt::UTC);
    }

    void eachFailureWaitsTheNextStep_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("waitSeconds");
        const int minutes[] = {1, 2, 5, 10, 30, 60, 60, 60};
        QTest::newRow("1st: 30 s") << 1 << 30;
        for (int i = 0; i < 8; ++i)
            QTest::addRow("failure %d: %d min", i + 2, minutes[i]) << i + 2 << minutes[i] * 60;
    }

    void eachFailureWaitsTheNextStep()
    {
        QFETCH(int, failures);
        Settings settings(settingsPath());
        PendingNotices notices(settings);
        useClock(notices);
        QSignalSpy due(&notices, &PendingNotices::due);
        for (int i = 0; i < failures; ++i) {
            notices.fireDueNow();
            notices.failed(Kind::Web);
        }
        QVERIFY(due.isEmpty());
        QTEST(int(m_now.secsTo(notices.dueAt(Kind::Web))), "waitSeconds");

        m_now = notices.dueAt(Kind::Web);
        notices.fireDueNow();
        notices.fireDueNow(); // already being tried: not again
        QCOMPARE(due.size(), 1);
        QCOMPARE(due.first().first().value<Kind>(), Kind::Web);
        notices.succeeded(Kind::Web);
        QVERIFY(notices.isEmpty());
        QCOMPARE(settings.read(PendingNotices::SettingsKey, "unset"), QString());
    }

    void newerChangeDropsWhatIsPending()
    {
        Settings settings(settingsPath());
        PendingNotices notices(settings);
        useClock(notices);
        for (int i = 0; i < 4; ++i)
            notices.failed(Kind::Mail);
        notices.failed(Kind::Program);
        QSignalSpy changed(&notices, &PendingNotices::changed);
        notices.replace();
        QCOMPARE(changed.size(), 1);
        QVERIFY(notices.isEmpty());
        QCOMPARE(settings.read(PendingNotices::SettingsKey, "unset"), QString());
        notices.failed(Kind::Mail);
        QCOMPARE(m_now.secsTo(notices.dueAt(Kind::Mail)), 30);
    }

    void pendingSurvivesARestart()
    {
        QDateTime mailDue;
        {
            Settings settings(settingsPath());
            PendingNotices notices(settings);
            useClock(notices);
            notices.failed(Kind::Mail);
            notices.failed(Kind::Mail);
            notices.failed(Kind::Program);
            mailDue = notices.dueAt(Kind::Mail);
        }
        Settings settings(settingsPath());
        QCOMPARE(settings.read(PendingNotices::SettingsKey, QString()),
                 QStringLiteral("mail:2:2026-12-07T01:01:00Z;program:1:2026-12-07T01:00:30Z"));
        m_now = m_now.addSecs(45); // the program was down while mail was due
        PendingNotices notices(settings);
        useClock(notices);
        QSignalSpy due(&notices, &PendingNotices::due);
        notices.load();
        QCOMPARE(notices.failures(Kind::Mail), 2);
        QCOMPARE(notices.dueAt(Kind::Mail), mailDue);
        QVERIFY(due.isEmpty()); // not from inside load(), but once the event loop runs
        QVERIFY(due.wait(1000));
        QCOMPARE(due.size(), 1);
        QCOMPARE(due.first().first().value<Kind>(), Kind::Program);
    }

    void damagedValueIsNothingPending_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("kept"); // what reads back, as the program writes it
        const QString web = QStringLiteral("web:1:2026-12-07T00:59:00Z");
        QTest::newRow("good") << "mail:7:2026-12-07T01:02:03Z;" + web << "mail:7:2026-12-07T01:02:03Z;" + web;
        QTest::newRow("unknown kind") << "fax:1:2026-12-07T01:02:03Z;" + web << web;
        QTest::newRow("kind in capitals") << QStringLiteral("MAIL:1:2026-12-07T01:02:03Z") << QString();
        QTest::newRow("zero failures") << QStringLiteral("mail:0:2026-12-07T01:02:03Z") << QString();
        QTest::newRow("signed number") << QStringLiteral("mail:+3:2026-12-07T01:02:03Z") << QString();
        QTest::newRow("blank in number") << QStringLiteral("mail: 3:2026-12-07T01:02:03Z") << QString();
        QTest::newRow("number too large") << QStringLiteral("mail:1000001:2026-12-07T01:02:03Z") << QString();
        QTest::newRow("number overflows") << QStringLiteral("mail:99999999999:2026-12-07T01:02:03Z") << QString();
        QTest::newRow("month 13") << QStringLiteral("mail:1:2026-13-07T01:02:03Z") << QString();
        QTest::newRow("local time") << QStringLiteral("mail:1:2026-12-07T01:02:03") << QString();
        QTest::newRow("offset") << QStringLiteral("mail:1:2026-12-07T01:02:03+01:00") << QString();
        QTest::newRow("fraction") << QStringLiteral("mail:1:2026-12-07T01:02:03.5Z") << QString();
        QTest::newRow("no date") << QStringLiteral("mail:1") << QString();
        QTest::newRow("kind twice") << "mail:1:2026-12-07T01:02:03Z;" + web + ";mail:2:2026-12-07T01:02:03Z" << web;
        QTest::newRow("too long") << web + QString(PendingNotices::MaxTextLength, u';') << QString();
        QTest::newRow("control bytes") << QStringLiteral("\x01;mail:1:\x7f;;") + web << web;
    }

    void damagedValueIsNothingPending()
    {
        QFETCH(QString, stored);
        Settings settings(settingsPath());
        settings.write(PendingNotices::SettingsKey, stored);
        PendingNotices notices(settings);
        useClock(notices);
        notices.load();
        QTEST(PendingNotices::format(PendingNotices::parse(stored)), "kept");
    }

    void summaryNamesKindsAndNextTry_data()
    {
        QTest::addColumn<QList<int>>("failedKinds");
        QTest::addColumn<int>("secondsLater");
        QTest::addColumn<QString>("summary");
        const int mail = int(Kind::Mail), web = int(Kind::Web), program = int(Kind::Program);
        QTest::newRow("nothing") << QList<int>{} << 0 << QString();
        QTest::newRow("mail") << QList<int>{mail} << 0 << "Mail notice pending, next try at 01:00:30";
        QTest::newRow("two, earliest first")
            << QList<int>{web, web, mail} << 0 << "Mail and web notices pending, next try at 01:00:30";
        QTest::newRow("three") << QList<int>{program, web, mail} << 10
                               << "Mail, web and program notices pending, next try at 01:00:30";
        QTest::newRow("due") << QList<int>{program} << 30 << "Program notice pending, trying again now";
    }

    void summaryNamesKindsAndNextTry()
    {
        QFETCH(QList<int>, failedKinds);
        QFETCH(int, secondsLater);
        Settings settings(settingsPath());
        PendingNotices notices(settings);
        useClock(notices);
        for (const int kind : failedKinds)
            notices.failed(Kind(kind));
        QTEST(notices.summary(m_now.addSecs(secondsLater)), "summary");
    }
};

QTEST_GUILESS_MAIN(TestPendingNotices)
#include "tst_pendingnotices.moc"
