// The refresh cycle's tick counting and the change test that decides about notifications.
#include "TempConfigHome.h"
#include "app/ChangeTest.h"
#include "app/RefreshCycle.h"
#include "app/Settings.h"

#include <QtTest>

class TestRefreshCycle : public QObject
{
    Q_OBJECT
private slots:
    void intervalFromSelection_data();
    void intervalFromSelection();
    void lookupEverySixtyTicks();
    void shorterIntervalFiresAtTheNextTick();
    void firstAddressIsRememberedWithoutChange();
    void eitherAddressChangeCounts();
    void comparisonIsExact();
    void rememberedAcrossRuns();
};

void TestRefreshCycle::intervalFromSelection_data()
{
    QTest::addColumn<int>("selection");
    QTest::addColumn<int>("seconds");
    QTest::newRow("none") << -1 << 60;
    QTest::newRow("01 Minute") << 0 << 60;
    QTest::newRow("05 Minutes") << 1 << 300;
    QTest::newRow("10 Minutes") << 2 << 600;
    QTest::newRow("30 Minutes") << 3 << 1800;
    QTest::newRow("60 Minutes") << 4 << 3600;
    QTest::newRow("out of range keeps the interval") << 5 << 1234;
    QTest::newRow("negative keeps the interval") << -7 << 1234;
}

void TestRefreshCycle::intervalFromSelection()
{
    QFETCH(int, selection);
    QFETCH(int, seconds);
    QCOMPARE(RefreshCycle::secondsForSelection(selection, 1234), seconds);
}

void TestRefreshCycle::lookupEverySixtyTicks()
{
    RefreshCycle cycle;
    cycle.setSelection(0);
    int lookups = 0;
    QList<int> at;
    for (int t = 1; t <= 180; ++t) {
        if (cycle.tick()) {
            ++lookups;
            at << t;
        }
    }
    QCOMPARE(lookups, 3);
    QCOMPARE(at, (QList<int>{60, 120, 180}));
}

void TestRefreshCycle::shorterIntervalFiresAtTheNextTick()
{
    RefreshCycle cycle;
    cycle.setSelection(1);  // 300 s
    for (int t = 0; t < 200; ++t)
        QVERIFY(!cycle.tick());
    QCOMPARE(cycle.ticks(), 200);
    cycle.setSelection(0);  // "01 Minute": the count already stands above it
    QVERIFY(cycle.tick());
    QCOMPARE(cycle.ticks(), 0);
}

void TestRefreshCycle::firstAddressIsRememberedWithoutChange()
{
    TempConfigHome home;
    Settings settings(home.settingsPath());
    ChangeTest test(settings);
    test.load();
    QCOMPARE(test.oldExternal(), QStringLiteral("0"));
    QVERIFY(!test.compareAndRemember(QStringLiteral("203.0.113.1"), QStringLiteral("10.0.0.2")));
    QCOMPARE(settings.read(QStringLiteral("OldExternal"), QString()), QStringLiteral("203.0.113.1"));
    QCOMPARE(settings.read(QStringLiteral("OldInternal"), QString()), QStringLiteral("10.0.0.2"));
    QVERIFY(!test.compareAndRemember(QStringLiteral("203.0.113.1"), QStringLiteral("10.0.0.2")));
}

void TestRefreshCycle::eitherAddressChangeCounts()
{
    TempConfigHome home;
    Settings settings(home.settingsPath());
    ChangeTest test(settings);
    test.load();
    test.compareAndRemember(QStringLiteral("203.0.113.1"), QStringLiteral("10.0.0.2"));
    QVERIFY(test.compareAndRemember(QStringLiteral("203.0.113.1"), QStringLiteral("10.0.0.3")));
    QVERIFY(test.compareAndRemember(QStringLiteral("203.0.113.2"), QStringLiteral("10.0.0.3")));
    QVERIFY(test.compareAndRemember(QStringLiteral("203.0.113.3"), QStringLiteral("10.0.0.4")));
    QVERIFY(!test.compareAndRemember(QStringLiteral("203.0.113.3"), QStringLiteral("10.0.0.4")));
}

void TestRefreshCycle::comparisonIsExact()
{
    TempConfigHome home;
    Settings settings(home.settingsPath());
    ChangeTest test(settings);
    test.load();
    test.compareAndRemember(QStringLiteral("2001:db8::a"), QStringLiteral("10.0.0.2"));
    QVERIFY(test.compareAndRemember(QStringLiteral("2001:DB8::A"), QStringLiteral("10.0.0.2")));
}

void TestRefreshCycle::rememberedAcrossRuns()
{
    TempConfigHome home;
    {
        Settings settings(home.settingsPath());
        ChangeTest first(settings);
        first.load();
        first.compareAndRemember(QStringLiteral("203.0.113.1"), QStringLiteral("10.0.0.2"));
    }
    Settings settings(home.settingsPath());
    ChangeTest second(settings);
    second.load();
    QCOMPARE(second.oldExternal(), QStringLiteral("203.0.113.1"));
    // An address that changed while the program was not running is a change at the first lookup.
    QVERIFY(second.compareAndRemember(QStringLiteral("203.0.113.99"), QStringLiteral("10.0.0.2")));
}

QTEST_GUILESS_MAIN(TestRefreshCycle)
#include "tst_refreshcycle.moc"
