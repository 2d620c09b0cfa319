// The change test over the remembered addresses: what counts as a change, what is remembered and stored.
#include "core/ChangeTest.h"
#include "core/Settings.h"

#include <QtTest>

class TestChangeTest : public QObject
{
    Q_OBJECT
private slots:
    void comparesRemembersAndStores_data()
    {
        QTest::addColumn<QStringList>("stored"); // external, internal, IPv6 before the lookup
        QTest::addColumn<QStringList>("found");  // external, internal, IPv6 the lookup found
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QStringList>("storedAfter");
        const QStringList old{"203.0.113.1", "10.0.0.2", "2001:db8::1"};
        QTest::newRow("nothing remembered") << QStringList{"0", "0", "0"} << old << QStringList() << old;
        QTest::newRow("same") << old << old << QStringList() << old;
        QTest::newRow("external") << old << QStringList{"203.0.113.9", "10.0.0.2", "2001:db8::1"}
                                  << QStringList{"External 203.0.113.1 203.0.113.9"}
                                  << QStringList{"203.0.113.9", "10.0.0.2", "2001:db8::1"};
        QTest::newRow("internal and IPv6")
            << old << QStringList{"203.0.113.1", "10.0.0.9", "2001:db8::9"}
            << QStringList{"Internal 10.0.0.2 10.0.0.9", "External IPv6 2001:db8::1 2001:db8::9"}
            << QStringList{"203.0.113.1", "10.0.0.9", "2001:db8::9"};
        QTest::newRow("exact text") << old << QStringList{"203.0.113.1", "10.0.0.2", "2001:DB8::1"}
                                    << QStringList{"External IPv6 2001:db8::1 2001:DB8::1"}
                                    << QStringList{"203.0.113.1", "10.0.0.2", "2001:DB8::1"};
        QTest::newRow("no IPv6 is no change")
            << old << QStringList{"203.0.113.1", "10.0.0.2", "none"} << QStringList() << old;
        QTest::newRow("IPv6 not agreed") << old << QStringList{"203.0.113.1", "10.0.0.2", ""} << QStringList() << old;
        QTest::newRow("first IPv6") << QStringList{"203.0.113.1", "10.0.0.2", "0"} << old << QStringList() << old;
    }

    void comparesRemembersAndStores()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, found);
        QTemporaryDir dir;
        Settings settings(dir.filePath(QStringLiteral("settings.conf")));
        const QList<Key> keys{Key::OldExternal, Key::OldInternal, Key::OldExternalIPv6};
        for (int i = 0; i < 3; ++i)
            QVERIFY(settings.write(keys[i], stored[i]));
        ChangeTest test(settings);
        test.load();
        const ChangeTest::Comparison comparison = test.compareAndRemember(
            WatchedAddress::fromText(found[0]), WatchedAddress::fromText(found[1]), WatchedAddress::fromText(found[2]));
        QStringList changes;
        for (const AddressChange& change : comparison.changes)
            changes << change.name + u' ' + change.before + u' ' + change.after;
        QTEST(changes, "changes");
        QCOMPARE(comparison.changed(), !changes.isEmpty());
        QCOMPARE(comparison.externalBefore.isNone() ? found[0] : comparison.externalBefore.text(),
                 changes.value(0).startsWith(u"External ") ? stored[0] : found[0]);
        QVERIFY(test.save({{Key::PendingNotices, QStringLiteral("mail")}}).isEmpty());
        QTEST((QStringList{settings.read(keys[0]), settings.read(keys[1]), settings.read(keys[2])}), "storedAfter");
        QCOMPARE(settings.read(Key::PendingNotices), QStringLiteral("mail"));
    }
};

QTEST_GUILESS_MAIN(TestChangeTest)
#include "tst_changetest.moc"
