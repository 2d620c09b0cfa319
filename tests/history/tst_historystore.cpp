// The history file: a change recorded once (also across a restart), the file set aside when it cannot be used
// (not SQLite, another shape, damaged, locked), a change that cannot be written kept for the next run, the bound on a
// full file, rows that hold NULLs or text where numbers belong, and the two printed forms.
#include "history/HistoryStore.h"
#include "history/HistoryText.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <optional>

namespace {
// Runs @p statements on @p path through a connection of its own, left open (holding its locks) until @p keep ends.
struct Peer
{
    QString name;
    explicit Peer(const QString& path, const QStringList& statements) : name(QStringLiteral("peer-") + path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString& statement : statements)
            QVERIFY2(query.exec(statement), qPrintable(statement));
    }
    ~Peer()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether the system renames a file that is open elsewhere (Linux does, Windows does not).
bool openFilesCanBeMoved()
{
    QTemporaryDir dir;
    QFile held(dir.filePath(QStringLiteral("held")));
    return held.open(QIODevice::WriteOnly) && QFile::rename(held.fileName(), dir.filePath(QStringLiteral("moved")));
}

const QString Insert = QStringLiteral("INSERT INTO changes (at_ms, kind, old, new) ");
} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void aChangeIsRecordedOnceAcrossARestart()
    {
        const QString file = path("once/history.sqlite"); // the folder is made
        {
            HistoryStore store(file);
            QVERIFY(!store.exists()); // nothing opened before the first change
            QVERIFY(store.record(HistoryEntry::External, "203.0.113.1", "203.0.113.2", 1000));
            QVERIFY(store.record(HistoryEntry::External, "203.0.113.1", "203.0.113.2", 2000));
        }
        HistoryStore again(file);
        QSignalSpy recorded(&again, &HistoryStore::recorded);
        QVERIFY(again.record(HistoryEntry::External, "203.0.113.1", "203.0.113.2", 3000)); // announced again
        QCOMPARE(recorded.size(), 0);
        QVERIFY(again.record(HistoryEntry::Internal, "10.0.0.1", "10.0.0.2", 4000));
        QVERIFY(again.record(HistoryEntry::External, "203.0.113.2", "203.0.113.3", 61000));
        QCOMPARE(recorded.size(), 2);
        QCOMPARE(again.count(), 3);
        QCOMPARE(again.count(1u << HistoryEntry::Internal), 1);
        const QList<HistoryEntry> newest = again.page(AllHistoryKinds, 0, 2);
        QCOMPARE(newest.size(), 2);
        QCOMPARE(newest[0].after, QStringLiteral("203.0.113.3"));
        QCOMPARE(newest[0].lastedMs, std::optional<qint64>(60000)); // since the kind's previous change
        QCOMPARE(newest[1].lastedMs, std::nullopt);                 // its first: since before recording began
        QCOMPARE(again.page(1u << HistoryEntry::External, 1, 5).value(0).atMs, 1000);
        QCOMPARE(again.period(2000, 70000, 1u << HistoryEntry::External).size(), 2); // in place at 2000, then one
    }

    void aFileThatCannotBeUsedIsSetAside_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("statements"); // run on the file first (by a peer kept open while locking)
        QTest::addColumn<QString>("reason");
        QTest::newRow("not SQLite") << "text.sqlite" << QByteArray(4096, 'x') << QStringList() << "not a database";
        QTest::newRow("other tables") << "other.sqlite" << QByteArray()
                                      << QStringList{QStringLiteral("CREATE TABLE notes (x)")} << "other tables";
        QTest::newRow("other shape") << "shape.sqlite" << QByteArray()
                                     << QStringList{QStringLiteral("CREATE TABLE changes (when_ms, what)"),
                                                    QStringLiteral("PRAGMA user_version = 1")}
                                     << "another shape";
        QTest::newRow("other version") << "version.sqlite" << QByteArray()
                                       << QStringList{QStringLiteral("PRAGMA user_version = 7")} << "version (7)";
        QTest::newRow("locked") << "locked.sqlite" << QByteArray()
                                << QStringList{QStringLiteral("BEGIN EXCLUSIVE"), QStringLiteral("CREATE TABLE t (x)")}
                                << "locked";
    }
    void aFileThatCannotBeUsedIsSetAside()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, statements);
        QFETCH(QString, reason);
        const QString file = m_dir.filePath(name);
        if (!bytes.isEmpty()) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        }
        std::optional<Peer> peer(std::in_place, file, statements);
        if (reason != QLatin1String("locked"))
            peer.reset();
        HistoryStore store(file);
        QSignalSpy problems(&store, &HistoryStore::problem);
        const bool movable = !peer || openFilesCanBeMoved();
        QCOMPARE(store.record(HistoryEntry::External, "203.0.113.1", "203.0.113.2", 1000), movable);
        QCOMPARE(problems.size(), 1);
        const QString text = problems[0][0].toString();
        QVERIFY2(text.contains(reason) && text.contains(movable ? "moved to" : "nor moved aside"), qPrintable(text));
        if (!movable)
            return; // Windows: a file another program holds open stays where it is
        const QStringList aside = QDir(m_dir.path()).entryList({name.chopped(7) + ".2*.sqlite"});
        QCOMPARE(aside.size(), 1);
        if (!bytes.isEmpty())
            QCOMPARE(contents(m_dir.filePath(aside[0])), bytes);
        QCOMPARE(store.count(), 1);
        HistoryStore reader(file, HistoryStore::Access::ReadOnly);
        QCOMPARE(reader.all().value(0).after, QStringLiteral("203.0.113.2"));
    }

    void aDamagedFileIsSetAside()
    {
        const QString file = path("damaged.sqlite");
        HistoryStore(file).record(HistoryEntry::External, "x", "y", 0);
        Peer(file, {Insert + QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                                            "2000) SELECT i, i % 3, 'old' || i, 'new' || i FROM n")});
        QFile out(file);
        QVERIFY(out.open(QIODevice::ReadWrite) && out.seek(3 * 4096) && out.write(QByteArray(4096, '\xa5')) == 4096);
        out.close();
        HistoryStore store(file);
        QSignalSpy problems(&store, &HistoryStore::problem);
        QVERIFY(store.record(HistoryEntry::External, "a", "b", 1));
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0][0].toString().contains("moved to"), qPrintable(problems[0][0].toString()));
        QCOMPARE(store.count(), 1);
    }

    // Another process reads the file for longer than a writer waits: the change is kept beside it, the next run
    // writes it before its own, and each says how long the one before it lasted.
    void aChangeThatCannotBeWrittenIsKeptForTheNextRun()
    {
        const QString file = path("busy.sqlite"), kept = path("busy.unwritten");
        {
            HistoryStore store(file);
            QVERIFY(store.record(HistoryEntry::Nat, "public", "second router", 1000));
            QSignalSpy problems(&store, &HistoryStore::problem);
            {
                Peer reader(file, {QStringLiteral("BEGIN"), QStringLiteral("SELECT count(*) FROM changes")});
                QVERIFY(!store.record(HistoryEntry::Nat, "second router", "carrier-grade NAT", 61000));
            }
            QCOMPARE(problems.size(), 1);
            QVERIFY2(problems[0][0].toString().contains("could not be recorded yet (database is locked); it is kept "
                                                        "in busy.unwritten"),
                     qPrintable(problems[0][0].toString()));
            const QFileDevice::Permissions others =
                QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
            // Where files have modes: Windows keeps the user's profile folder private instead.
            if (QSysInfo::kernelType() != QLatin1String("winnt"))
                QCOMPARE(QFileInfo(kept).permissions() & others, QFileDevice::Permissions());
        }
        HistoryStore nextRun(file);
        QVERIFY(nextRun.writeUnwritten()); // at the end of its first lookup, which changed nothing
        QVERIFY(!QFileInfo::exists(kept));
        QVERIFY(nextRun.record(HistoryEntry::Nat, "carrier-grade NAT", "public", 181000));
        const QList<HistoryEntry> all = nextRun.all();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all[1].after, QStringLiteral("carrier-grade NAT"));
        QCOMPARE(all[1].lastedMs, std::optional<qint64>(60000));
        QCOMPARE(all[2].lastedMs, std::optional<qint64>(120000));
    }

    // The kept file is outside bytes: every line that is not exactly one change is skipped, and it stays bounded.
    void theKeptChangesAreReadStrictly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("last"); // the newest change's new address
        QTest::newRow("written form") << QByteArray("1 1 203.0.113.1 203.0.113.2\n2 3 public carrier-grade%20NAT\n")
                                      << 2 << "carrier-grade NAT";
        QTest::newRow("no line end, no old") << QByteArray("5 0  10.0.0.1") << 1 << "10.0.0.1";
        QTest::newRow("bad lines around") << QByteArray("x 1 a b\n\n7 1 a b\n-5 1 a b\n7 5 a b\n7 1 a b c\n"
                                                        "7 1 a%zz b\n7 1 a\x01 b\n7 1 a b%")
                                          << 1 << "b";
        QTest::newRow("long line") << "7 1 a " + QByteArray(2000, 'b') << 0 << "";
        QByteArray many;
        for (int i = 0; i <= UnwrittenChanges::MaxChanges; ++i)
            many += QByteArray::number(i) + " 1 a n" + QByteArray::number(i) + '\n';
        QTest::newRow("over the bound") << many << int(UnwrittenChanges::MaxChanges) << "n1000";
    }
    void theKeptChangesAreReadStrictly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, last);
        const QList<UnwrittenChanges::Change> changes = UnwrittenChanges::parse(bytes, HistoryEntry::KindCount);
        QTEST(int(changes.size()), "count");
        QCOMPARE(changes.isEmpty() ? QString() : changes.last().after, last);
        QCOMPARE(UnwrittenChanges::parse(UnwrittenChanges::format(changes), HistoryEntry::KindCount), changes);
    }

    void theNewestEntriesAreKept()
    {
        const QString file = path("full.sqlite");
        HistoryStore store(file);
        QVERIFY(store.record(HistoryEntry::External, "x", "y", 0));
        {
            Peer filler(file, {Insert + QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                                       "WHERE i < %1) SELECT i, i % 3, 'old' || i, 'new' || i FROM n")
                                            .arg(HistoryStore::MaxEntries + 10)});
        }
        QElapsedTimer timer;
        timer.start();
        QVERIFY(store.record(HistoryEntry::External, "new100010", "newest", HistoryStore::MaxEntries + 11));
        qInfo("one change recorded into a full history in %lld ms", timer.elapsed());
        QCOMPARE(store.count(), HistoryStore::MaxEntries);
        QCOMPARE(store.page(AllHistoryKinds, 0, 1).value(0).after, QStringLiteral("newest"));
        QCOMPARE(store.page(AllHistoryKinds, HistoryStore::MaxEntries - 1, 1).value(0).after, QStringLiteral("new12"));
        qInfo("%lld bytes for %d changes", QFileInfo(file).size(), HistoryStore::MaxEntries);
    }

    void rowsWithNullsAndTextAreRead()
    {
        const QString file = path("loose.sqlite");
        Peer(file,
             {QStringLiteral("CREATE TABLE changes (id INTEGER PRIMARY KEY, at_ms, kind, old, new)"),
              QStringLiteral("PRAGMA user_version = 1"), Insert + QStringLiteral("VALUES (NULL, NULL, NULL, NULL)"),
              Insert + QStringLiteral("VALUES ('soon', 'ext', 7, x'1b5b324a')"),
              Insert + QStringLiteral("VALUES (5000, 1, 'a,\"b', '203.0.113.9')")});
        HistoryStore store(file, HistoryStore::Access::ReadOnly);
        const QList<HistoryEntry> entries = store.all();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].kind, -1);
        QCOMPARE(entries[1].atMs, 0);
        QCOMPARE(store.count(1u << HistoryEntry::External), 1);
        QCOMPARE(HistoryText::csv(entries),
                 QStringLiteral("time_utc,address,old,new,lasted_seconds\n"
                                "1970-01-01T00:00:00.000Z,?,,,\n"
                                "1970-01-01T00:00:00.000Z,?,7,\uFFFD[2J,\n"
                                "1970-01-01T00:00:05.000Z,External,\"a,\"\"b\",203.0.113.9,\n"));
        QVERIFY(!QFileInfo::exists(file + "-journal"));
    }

    void theTableLinesUpItsColumns()
    {
        HistoryEntry entry{1, 93784000, HistoryEntry::ExternalIPv6, "2001:db8::1", "2001:db8::2", 93784000};
        const QStringList lines = HistoryText::table({entry}).split(u'\n');
        QCOMPARE(lines.value(0).indexOf("Address"), lines.value(1).indexOf("External IPv6"));
        QCOMPARE(lines.value(0).indexOf("Old one"), lines.value(1).indexOf("1 d 2 h"));
        QCOMPARE(HistoryText::duration(3723000), QStringLiteral("1 h 2 min"));
        QCOMPARE(HistoryText::duration(125000), QStringLiteral("2 min 5 s"));
        QCOMPARE(HistoryText::table({}), QStringLiteral("When (UTC)  Address  Old  New  Old one lasted\n"));
    }
};

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
