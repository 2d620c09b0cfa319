// Opening the History window over a history of 100,000 changes (the most kept), until it has painted, beside the
// same for a plain table view over an empty model in the same run. Prints both in milliseconds.
//   history_bench [--keep FILE]   (offscreen by default; FILE: keep the filled history there)
#include "history/HistoryStore.h"
#include "historywindow/HistoryWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {
void fill(const QString& path)
{
    HistoryStore(path).record(HistoryEntry::External, "198.51.100.1", "198.51.100.2", 0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        db.open();
        // A change every 20 minutes up to now, the three kinds in turn.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QSqlQuery(db).exec(QStringLiteral("DELETE FROM changes"));
        QSqlQuery(db).exec(
            QStringLiteral("INSERT INTO changes (at_ms, kind, old, new) WITH RECURSIVE n(i) AS "
                           "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) SELECT %2 - (%1 - i) * "
                           "1200000, i % 3, '203.0.113.' || ((i - 3) % 250), '203.0.113.' || (i % 250) "
                           "FROM n")
                .arg(HistoryStore::MaxEntries)
                .arg(now));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

template <typename Make> double paintedAfter(Make make)
{
    QElapsedTimer timer;
    timer.start();
    auto window = make();
    window->show();
    window->repaint();
    QCoreApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    delete window;
    return ms;
}
} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QStringList args = app.arguments();
    const QString path =
        args.size() > 2 && args[1] == QLatin1String("--keep") ? args[2] : dir.filePath("history.sqlite");
    fill(path);
    QStandardItemModel empty(0, 4);
    for (int round = 0; round < 3; ++round) {
        const double reference = paintedAfter([&] {
            auto* view = new QTableView;
            view->setModel(&empty);
            return view;
        });
        HistoryStore store(path);
        const double history = paintedAfter([&] { return new HistoryWindow(store); });
        std::printf("History window over %lld changes: %.1f ms (a table view over an empty model: %.1f ms)\n",
                    store.count(), history, reference);
    }
    return 0;
}
