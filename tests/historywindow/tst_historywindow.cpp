// The History window over a real history file: the table's rows and what they say, the filter, the timeline's
// segments for a day and the next, a change recorded while it is open, the exported file, and rows read page by page.
#include "TempConfigHome.h"
#include "app/MainWindowWiring.h"
#include "core/Settings.h"
#include "history/HistoryText.h"
#include "historywindow/HistoryModel.h"
#include "historywindow/HistoryWindow.h"
#include "historywindow/TimelineView.h"
#include "mainwindow/Form1.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

using Segment = TimelineView::Segment;

class TestHistoryWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    const QDate m_day{2026, 6, 15};
    qint64 at(int hour) const { return m_day.startOfDay().addSecs(hour * 3600).toMSecsSinceEpoch(); }

    QString cell(HistoryWindow& window, int row, int column)
    {
        return window.model()->index(row, column).data().toString();
    }
    QCheckBox* box(HistoryWindow& window, const QString& text)
    {
        for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
            if (box->text() == text)
                return box;
        }
        return nullptr;
    }

private slots:
    void tableFilterTimelineAndExport()
    {
        HistoryStore store(m_dir.filePath("history.sqlite"));
        store.record(HistoryEntry::External, "203.0.113.1", "203.0.113.2", at(10));
        store.record(HistoryEntry::Internal, "10.0.0.1", "10.0.0.2", at(11));
        store.record(HistoryEntry::External, "203.0.113.2", "203.0.113.3", at(12));
        HistoryWindow window(store);
        window.show();
        QCOMPARE(window.model()->rowCount(), 3);
        QCOMPARE(cell(window, 0, HistoryModel::Change), QStringLiteral("203.0.113.2 → 203.0.113.3"));
        QCOMPARE(cell(window, 0, HistoryModel::Lasted), QStringLiteral("2 h 0 min"));
        QCOMPARE(cell(window, 1, HistoryModel::Address), QStringLiteral("Internal"));
        QCOMPARE(cell(window, 2, HistoryModel::Lasted), QString()); // in place since before the history began

        window.showPeriod(HistoryWindow::Period::Day, m_day);
        const qint64 end = at(24);
        const QList<Segment> day = {{0, "10.0.0.1", at(10), at(11), false}, // from when the history began
                                    {0, "10.0.0.2", at(11), end, true},
                                    {1, "203.0.113.2", at(10), at(12), true},
                                    {1, "203.0.113.3", at(12), end, true}};
        QCOMPARE(window.timeline()->segments().size(), day.size()); // 203.0.113.1: not known to have been in place
        for (int i = 0; i < day.size(); ++i) {
            const Segment& s = window.timeline()->segments()[i];
            QCOMPARE(std::tuple(s.kind, s.address, s.fromMs, s.toMs, s.startKnown),
                     std::tuple(day[i].kind, day[i].address, day[i].fromMs, day[i].toMs, day[i].startKnown));
        }

        box(window, "&Internal")->setChecked(false);
        QCOMPARE(window.model()->rowCount(), 2);
        QCOMPARE(cell(window, 1, HistoryModel::Change), QStringLiteral("203.0.113.1 → 203.0.113.2"));
        window.showPeriod(HistoryWindow::Period::Day, m_day.addDays(1)); // the next day: what was in place
        QCOMPARE(window.timeline()->segments().size(), 1);
        QCOMPARE(window.timeline()->segments()[0].address, QStringLiteral("203.0.113.3"));
        QVERIFY(window.timeline()->segments()[0].startKnown);

        store.record(HistoryEntry::ExternalIPv6, "2001:db8::1", "2001:db8::2", at(13));
        QCOMPARE(window.model()->rowCount(), 3); // shown as soon as it is recorded
        QCOMPARE(cell(window, 0, HistoryModel::Address), QStringLiteral("External IPv6"));

        const QString file = m_dir.filePath("export.csv");
        QTimer::singleShot(0, this, [file] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->selectFile(file);
            static_cast<QDialog*>(dialog)->accept();
        });
        QPushButton* exportButton = nullptr;
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            if (button->text().startsWith("&Export"))
                exportButton = button;
        }
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QFile exported(file);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QString t10 = HistoryText::time(at(10)), t12 = HistoryText::time(at(12)), t13 = HistoryText::time(at(13));
        QCOMPARE(QString::fromUtf8(exported.readAll()),
                 "time_utc,address,old,new,lasted_seconds\n" + t10 + ",External,203.0.113.1,203.0.113.2,\n" + t12 +
                     ",External,203.0.113.2,203.0.113.3,7200\n" + t13 + ",External IPv6,2001:db8::1,2001:db8::2,\n");
    }

    void timelineFitsEveryWindowSizeAndShowsShortAddresses()
    {
        HistoryStore store(m_dir.filePath("fit.sqlite"));
        for (int kind = 0; kind < HistoryEntry::KindCount; ++kind)
            store.record(kind, "198.51.100.1", "198.51.100.2", at(8));
        // An address in place for five minutes is far less than a pixel of a year.
        store.record(HistoryEntry::Nat, "198.51.100.2", "198.51.100.3", at(9));
        store.record(HistoryEntry::Nat, "198.51.100.3", "198.51.100.4", at(9) + 5 * 60 * 1000);
        HistoryWindow window(store);
        window.show();
        for (const auto period : {HistoryWindow::Period::Year, HistoryWindow::Period::Month}) {
            window.showPeriod(period, m_day);
            for (const QSize size : {window.minimumSizeHint(), QSize(700, 520), QSize(1400, 1000)}) {
                window.resize(size);
                QVERIFY(QTest::qWaitForWindowExposed(&window));
                QApplication::processEvents();
                const TimelineView* timeline = window.timeline();
                const std::unique_ptr<char[]> sizeText(QTest::toString(size));
                QVERIFY2(timeline->axisLabels().bottom() < timeline->height(), sizeText.get());
                const QList<Segment>& segments = timeline->segments();
                const auto shortOne = std::find_if(segments.begin(), segments.end(),
                                                   [](const Segment& s) { return s.address == "198.51.100.3"; });
                QVERIFY(shortOne != segments.end());
                for (const Segment& segment : segments)
                    QVERIFY(timeline->rect().contains(timeline->segmentRect(segment)));
                const QRect shown = timeline->segmentRect(*shortOne);
                QVERIFY(shown.width() >= TimelineView::MinSegmentWidth);
                QCOMPARE(timeline->segmentAt(shown.center()), &*shortOne);
            }
        }
    }

    void theMainWindowsMenuOpensItAndShutdownClosesIt()
    {
        TempConfigHome home;
        home.writeSettingsFile("[Settings]\nshowHelp=0\n");
        Settings settings(home.settingsPath());
        AddressWatcher watcher(settings);
        Form1 form(watcher, settings);
        HistoryStore store(m_dir.filePath("menu.sqlite"));
        HistoryWindows windows(store);
        connectMainWindow(form, {.quit = {}, .history = &windows});
        form.findChild<QAction*>("mnuActionHistory")->trigger();
        form.findChild<QAction*>("mnuActionHistory")->trigger(); // brought forward, not made twice
        QVERIFY(windows.window() && windows.window()->isVisible());
        const QWidgetList tops = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(tops.begin(), tops.end(), [](QWidget* w) { return qobject_cast<HistoryWindow*>(w); }),
                 1);
        QPointer<HistoryWindow> shown = windows.window();
        emit form.unloaded();
        QTRY_VERIFY(!shown); // closed and deleted
    }

    void rowsOnLaterPagesAreTheirOwn()
    {
        const QString file = m_dir.filePath("pages.sqlite");
        HistoryStore store(file);
        store.record(HistoryEntry::External, "x", "0", 0);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("INSERT INTO changes (at_ms, kind, old, new) WITH RECURSIVE n(i) AS (SELECT 1 "
                                       "UNION ALL SELECT i + 1 FROM n WHERE i < 599) SELECT i, 1, i - 1, i FROM n"));
            db.close();
        }
        QSqlDatabase::removeDatabase("fill");
        HistoryWindow window(store);
        QCOMPARE(window.model()->rowCount(), 600);
        for (const int row : {0, 255, 256, 598})
            QCOMPARE(cell(window, row, HistoryModel::Change), QStringLiteral("%1 → %2").arg(598 - row).arg(599 - row));
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
