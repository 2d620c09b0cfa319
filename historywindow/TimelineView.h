#pragma once

#include "history/HistoryStore.h"

#include <QList>
#include <QWidget>

/// The addresses over a period, drawn: one band per address kind, one segment per address while it was in place,
/// its address written on it where it fits, and the time along the bottom. An address that was in place when the
/// history began is hatched from there. The bands share the height between their least (a line of text) and
/// twice that; a segment too short to see at the scale shown keeps a few pixels and a mark above its band.
class TimelineView : public QWidget
{
    Q_OBJECT
public:
    struct Segment
    {
        int kind;
        QString address;
        qint64 fromMs;
        qint64 toMs;
        bool startKnown; ///< false: in place since before the history began
    };

    explicit TimelineView(QWidget* parent = nullptr);

    /// Shows the period [@p fromMs, @p toMs) of the kinds in @p kinds from @p entries (HistoryStore::period's),
    /// up to @p nowMs. An address in place before its kind's first change is drawn from @p beganMs, when the
    /// history began.
    void setPeriod(qint64 fromMs, qint64 toMs, qint64 nowMs, const QList<HistoryEntry>& entries, HistoryKinds kinds,
                   qint64 beganMs);
    const QList<Segment>& segments() const { return m_segments; }
    /// Where @p segment is drawn: at least MinSegmentWidth wide, over its neighbours when it had to widen.
    QRect segmentRect(const Segment& segment) const;
    /// The segment drawn at @p pos, or none.
    const Segment* segmentAt(const QPoint& pos) const;
    /// Where the time axis writes its labels.
    QRect axisLabels() const;

    static constexpr int MinSegmentWidth = 4;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QList<int> bands() const;
    QRect bandRect(int band) const;
    int bandHeight() const;
    int labelWidth() const;
    int xOf(qint64 ms, const QRect& area) const;
    bool isNarrow(const Segment& segment) const;

    qint64 m_from = 0;
    qint64 m_to = 1;
    qint64 m_now = 0;
    HistoryKinds m_kinds = AllHistoryKinds;
    QList<Segment> m_segments;
};
