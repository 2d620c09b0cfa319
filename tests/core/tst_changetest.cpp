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
        QTest::addColumn<QStringList>("stored"); // external, internal, IPv6 (and its prefix) before the lookup
        QTest::addColumn<QStringList>("found");  // the same the lookup found, and whether the IPv6 one is temporary
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
        const QStringList prefix1{"203.0.113.1", "10.0.0.2", "2001:db8:1::a", "2001:db8:1::/64"};
        const QStringList rotated{"203.0.113.1", "10.0.0.2", "2001:db8:1::b", "2001:db8:1::/64"};
        const QStringList renumbered{"203.0.113.1", "10.0.0.2", "2001:db8:2::b", "2001:db8:2::/64"};
        QTest::newRow("a temporary address rotates")
            << prefix1 << (rotated + QStringList{"temporary"}) << QStringList() << rotated;
        QTest::newRow("renumbered") << prefix1 << (renumbered + QStringList{"temporary"})
                                    << QStringList{"IPv6 prefix 2001:db8:1::/64 2001:db8:2::/64"} << renumbered;
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
        const QList<Key> keys{Key::OldExternal, Key::OldInternal, Key::OldExternalIPv6, Key::OldIPv6Prefix};
        for (int i = 0; i < stored.size(); ++i)
            QVERIFY(settings.write(keys[i], stored[i]));
        ChangeTest test(settings);
        test.load();
        const ChangeTest::Comparison comparison = test.compareAndRemember(
            WatchedAddress::fromText(found[0]), WatchedAddress::fromText(found[1]), WatchedAddress::fromText(found[2]),
            WatchedAddress::fromText(found.value(3)), found.value(4) == u"temporary");
        QStringList changes;
        for (const AddressChange& change : comparison.changes)
            changes << change.name + u' ' + change.before + u' ' + change.after;
        QTEST(changes, "changes");
        QCOMPARE(comparison.changed(), !changes.isEmpty());
        QCOMPARE(comparison.externalBefore.isNone() ? found[0] : comparison.externalBefore.text(),
                 changes.value(0).startsWith(u"External ") ? stored[0] : found[0]);
        QVERIFY(test.save({{Key::PendingNotices, QStringLiteral("mail")}}).isEmpty());
        QStringList storedAfter;
        for (const Key key : keys.mid(0, found.size() > 3 ? 4 : 3))
            storedAfter << settings.read(key);
        QTEST(storedAfter, "storedAfter");
        QCOMPARE(settings.read(Key::PendingNotices), QStringLiteral("mail"));
    }
};

QTEST_GUILESS_MAIN(TestChangeTest)
#include "tst_changetest.moc"
