#pragma once

#include "history/HistoryStore.h"

#include <QDate>
#include <QPointer>
#include <QWidget>

class HistoryModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QTableView;
class TimelineView;

/// "History": the recorded changes of the addresses as a table (newest first) and as a timeline of a day, a month
/// or a year, filtered by address kind, exported as CSV (the form --history --format csv prints).
class HistoryWindow : public QWidget
{
    Q_OBJECT
public:
    enum class Period
    {
        Day,
        Month,
        Year
    };

    explicit HistoryWindow(HistoryStore& store, QWidget* parent = nullptr);

    HistoryModel* model() const { return m_model; }
    TimelineView* timeline() const { return m_timeline; }
    /// The period the timeline shows, the one holding @p day.
    void showPeriod(Period period, QDate day);
    /// [from, to) of the period shown, in milliseconds since 1970.
    std::pair<qint64, qint64> periodShown() const;
    /// Writes the entries shown (all pages, the filter applied) to @p path as CSV; false with @p error.
    bool exportCsv(const QString& path, QString* error);

public slots:
    /// Reads the file again (a change was recorded).
    void reload();

private:
    void filterChanged();
    void step(int direction);
    void exportClicked();
    void refreshTimeline();

    HistoryStore& m_store;
    HistoryModel* m_model;
    TimelineView* m_timeline;
    QTableView* m_table;
    QCheckBox* m_kinds[HistoryEntry::KindCount];
    QComboBox* m_periodBox;
    QLabel* m_periodLabel;
    QLabel* m_note;
    Period m_period = Period::Month;
    QDate m_day;
};

/// The History window behind the main window: made at its first showing, brought forward after.
class HistoryWindows
{
public:
    explicit HistoryWindows(HistoryStore& store) : m_store(store) {}
    ~HistoryWindows();
    void show();
    /// Closes the window at shutdown.
    void unload();
    HistoryWindow* window() const { return m_window; }

private:
    HistoryStore& m_store;
    QPointer<HistoryWindow> m_window;
};
