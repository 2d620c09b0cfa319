// The last lookup's outcome as --health reads it back from its file: what it accepts, and the answer it gives.
#include "app/LookupHealth.h"

#include <QtTest>

class TestLookupHealth : public QObject
{
    Q_OBJECT
private slots:
    void readsOnlyWhatItWrites_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        const QDateTime at(QDate(2026, 12, 8), QTime(6, 50, 1), Qt::UTC);
        QTest::newRow("ok") << LookupHealth{true, at, {}}.text() << true;
        QTest::newRow("failed with why") << LookupHealth{false, at, "Error: no answer\n\x1b[2J"}.text() << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("no line end") << QByteArray("ok 2026-12-08T06:50:01Z") << false;
        QTest::newRow("two lines") << QByteArray("failed 2026-12-08T06:50:01Z why\nok 2026-12-08T06:50:01Z\n") << false;
        QTest::newRow("other word") << QByteArray("okay 2026-12-08T06:50:01Z\n") << false;
        QTest::newRow("word alone") << QByteArray("ok\n") << false;
        QTest::newRow("bad time") << QByteArray("ok 2026-13-08T06:50:01Z\n") << false;
        QTest::newRow("local time") << QByteArray("ok 2026-12-08T06:50:01\n") << false;
        QTest::newRow("ok with text") << QByteArray("ok 2026-12-08T06:50:01Z but\n") << false;
        QTest::newRow("too long") << "failed 2026-12-08T06:50:01Z " + QByteArray(LookupHealth::MaxBytes, 'x') + '\n'
                                  << false;
    }

    void readsOnlyWhatItWrites()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        LookupHealth health;
        QString error;
        QCOMPARE(LookupHealth::parse(bytes, &health, &error), valid);
        QCOMPARE(error.isEmpty(), valid);
        if (valid) {
            QCOMPARE(health.text(), bytes);
            QCOMPARE(health.at, QDateTime(QDate(2026, 12, 8), QTime(6, 50, 1), Qt::UTC));
            QVERIFY(!health.status.contains(QLatin1Char('\n')) && !health.status.contains(QChar(0x1b)));
        }
    }

    // The answer from the file on disk: healthy only after a lookup that succeeded, and not long ago.
    void reportsTheFile()
    {
        QTemporaryDir dir;
        const QString path = LookupHealth::pathFor(dir.filePath("a.conf.history.sqlite"));
        QCOMPARE(path, dir.filePath("a.conf.last-lookup"));
        QCOMPARE(LookupHealth::pathFor(dir.filePath("history.sqlite")), dir.filePath("last-lookup"));
        const qint64 maxAge = LookupHealth::maxAgeFor(300);
        QCOMPARE(LookupHealth::report(path, maxAge), 1); // none yet
        const auto write = [&](const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        };
        write(LookupHealth{true, QDateTime::currentDateTimeUtc(), {}}.text());
        QCOMPARE(LookupHealth::report(path, maxAge), 0);
        write(LookupHealth{true, QDateTime::currentDateTimeUtc().addSecs(-maxAge - 1), {}}.text());
        QCOMPARE(LookupHealth::report(path, maxAge), 1); // a watcher that hangs
        write(LookupHealth{false, QDateTime::currentDateTimeUtc(), "Error"}.text());
        QCOMPARE(LookupHealth::report(path, maxAge), 1);
        write(QByteArray(1 << 20, 'o'));
        QCOMPARE(LookupHealth::report(path, maxAge), 1);
        QFile::remove(path);
        QVERIFY(QDir().mkdir(path)); // a folder where the file belongs
        QCOMPARE(LookupHealth::report(path, maxAge), 1);
    }
};

QTEST_GUILESS_MAIN(TestLookupHealth)
#include "tst_lookuphealth.moc"
