#include "historywindow/TimelineView.h"

#include "history/HistoryText.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <array>

namespace {
constexpr int Margin = 6;

// A colour of its own for each address, from the address, light or dark as the palette's base is.
QColor fillFor(const QString& address, const QPalette& palette)
{
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    return QColor::fromHsl(int(qHash(address) % 360), dark ? 110 : 150, dark ? 70 : 200);
}

struct Tick
{
    qint64 ms;
    QString label;
};

// Calendar ticks in local time, as many as fit @p count labels.
QList<Tick> ticks(qint64 from, qint64 to, int count)
{
    struct Step
    {
        int hours, days, months;
        const char* format;
    };
    static const std::array<Step, 9> steps = {{{1, 0, 0, "HH:mm"},
                                               {3, 0, 0, "HH:mm"},
                                               {6, 0, 0, "HH:mm"},
                                               {0, 1, 0, "d MMM"},
                                               {0, 2, 0, "d MMM"},
                                               {0, 7, 0, "d MMM"},
                                               {0, 0, 1, "MMM"},
                                               {0, 0, 3, "MMM yyyy"},
                                               {0, 0, 12, "yyyy"}}};
    const qint64 length = to - from;
    for (const Step& step : steps) {
        const qint64 approx = (step.hours * 3600LL + step.days * 86400LL + step.months * 2629800LL) * 1000;
        if (length / approx > count && &step != &steps.back())
            continue;
        QList<Tick> result;
        QDateTime at = QDateTime::fromMSecsSinceEpoch(from);
        if (step.hours == 0)
            at = at.date().startOfDay();
        while (at.toMSecsSinceEpoch() < to && result.size() <= count + 1) {
            if (at.toMSecsSinceEpoch() >= from)
                result.append({at.toMSecsSinceEpoch(), at.toString(QString::fromLatin1(step.format))});
            at = step.hours ? at.addSecs(step.hours * 3600) : at.addDays(step.days).addMonths(step.months);
        }
        return result;
    }
    return {};
}
} // namespace

TimelineView::TimelineView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Timeline"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
}

void TimelineView::setPeriod(qint64 fromMs, qint64 toMs, qint64 nowMs, const QList<HistoryEntry>& entries,
                             HistoryKinds kinds, qint64 beganMs)
{
    m_from = fromMs;
    m_to = std::max(toMs, fromMs + 1);
    m_now = nowMs;
    m_kinds = kinds;
    m_segments.clear();
    const qint64 end = std::min(m_to, nowMs);
    for (int kind = 0; kind < HistoryEntry::KindCount; ++kind) {
        std::optional<Segment> open;
        for (const HistoryEntry& entry : entries) {
            if (entry.kind != kind)
                continue;
            if (entry.atMs < fromMs) { // what was in place when the period began
                open = Segment{kind, entry.after, fromMs, 0, true};
                continue;
            }
            if (!open)
                open = Segment{kind, entry.before, std::max(fromMs, beganMs), 0, false};
            open->toMs = entry.atMs;
            if (open->toMs > open->fromMs)
                m_segments.append(*open);
            open = Segment{kind, entry.after, entry.atMs, 0, true};
        }
        if (open && open->fromMs < end) {
            open->toMs = end;
            m_segments.append(*open);
        }
    }
    updateGeometry(); // the height follows the number of bands
    update();
}

QList<int> TimelineView::bands() const
{
    QList<int> result;
    for (int kind = 0; kind < HistoryEntry::KindCount; ++kind) {
        if (m_kinds & (1u << kind))
            result.append(kind);
    }
    return result;
}

int TimelineView::labelWidth() const
{
    int width = 0;
    for (int kind = 0; kind < HistoryEntry::KindCount; ++kind)
        width = std::max(width, fontMetrics().horizontalAdvance(HistoryText::kindName(kind)));
    return width + 2 * Margin;
}

int TimelineView::bandHeight() const
{
    // What is left after the gaps and the axis, shared by the bands, between a line of text and twice that.
    const int line = fontMetrics().height();
    const int count = std::max<int>(1, int(bands().size()));
    const int room = (height() - Margin - count * Margin - line - Margin) / count;
    return std::clamp(room, line + 4, 2 * line);
}

QRect TimelineView::bandRect(int band) const
{
    const int height = bandHeight();
    return QRect(labelWidth(), Margin + band * (height + Margin), width() - labelWidth() - Margin, height);
}

QRect TimelineView::axisLabels() const
{
    const QRect last = bandRect(std::max<int>(int(bands().size()) - 1, 0));
    return QRect(last.left(), last.bottom() + Margin / 2, last.width(), fontMetrics().height() + 3);
}

int TimelineView::xOf(qint64 ms, const QRect& area) const
{
    const double share = double(std::clamp(ms, m_from, m_to) - m_from) / double(m_to - m_from);
    return area.left() + int(share * area.width());
}

bool TimelineView::isNarrow(const Segment& segment) const
{
    const QRect area = bandRect(0);
    return xOf(segment.toMs, area) - xOf(segment.fromMs, area) < MinSegmentWidth;
}

QRect TimelineView::segmentRect(const Segment& segment) const
{
    const int band = int(bands().indexOf(segment.kind));
    if (band < 0)
        return {};
    const QRect area = bandRect(band);
    int left = xOf(segment.fromMs, area), right = xOf(segment.toMs, area);
    if (right - left < MinSegmentWidth) {
        left = std::clamp((left + right - MinSegmentWidth) / 2, area.left(), area.right() + 1 - MinSegmentWidth);
        right = left + MinSegmentWidth;
    }
    return QRect(left, area.top(), right - left, area.height());
}

QSize TimelineView::sizeHint() const
{
    const int line = fontMetrics().height();
    const int count = std::max<int>(1, int(bands().size()));
    return QSize(std::max(600, labelWidth() + 200), Margin + count * (2 * line + Margin) + line + Margin);
}

QSize TimelineView::minimumSizeHint() const
{
    const int line = fontMetrics().height();
    const int count = std::max<int>(1, int(bands().size()));
    return QSize(labelWidth() + 200, Margin + count * (line + 4 + Margin) + line + Margin);
}

void TimelineView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Base));
    const QFontMetrics fm = fontMetrics();
    const QList<int> shown = bands();
    for (int band = 0; band < shown.size(); ++band) {
        const QRect area = bandRect(band);
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(QRect(Margin, area.top(), labelWidth() - Margin, area.height()), Qt::AlignVCenter,
                         HistoryText::kindName(shown[band]));
        painter.fillRect(area, pal.color(QPalette::AlternateBase));
        // The narrow ones last, over the neighbours they widened into, each with a mark above the band.
        for (const bool narrow : {false, true}) {
            for (const Segment& segment : std::as_const(m_segments)) {
                if (segment.kind != shown[band] || isNarrow(segment) != narrow)
                    continue;
                const QRect box = segmentRect(segment);
                const QColor fill = fillFor(segment.address, pal);
                painter.fillRect(box, fill);
                if (!segment.startKnown)
                    painter.fillRect(
                        box, QBrush(fill.lightness() < 128 ? fill.lighter(150) : fill.darker(130), Qt::BDiagPattern));
                painter.setPen(pal.color(QPalette::Mid));
                painter.drawRect(box.adjusted(0, 0, -1, -1));
                if (narrow) {
                    const int x = box.center().x(), top = area.top() - 1;
                    painter.setPen(Qt::NoPen);
                    painter.setBrush(pal.color(QPalette::Text));
                    painter.drawPolygon(QPolygon({{x - Margin / 2, top - Margin + 1}, {x + Margin / 2, top - Margin + 1},
                                                  {x, top}}));
                    painter.setBrush(Qt::NoBrush);
                    continue;
                }
                const QString label = fm.elidedText(segment.address, Qt::ElideMiddle, box.width() - 2 * Margin);
                if (box.width() > fm.horizontalAdvance(QStringLiteral("0000")) && !label.isEmpty()) {
                    painter.setPen(fill.lightness() < 128 ? Qt::white : Qt::black);
                    painter.drawText(box.adjusted(Margin, 0, -Margin, 0), Qt::AlignCenter, label);
                }
            }
        }
    }
    // The time along the bottom, and where now is; a label that would run past the end is left out.
    const QRect axis = bandRect(0).united(bandRect(std::max<int>(int(shown.size()) - 1, 0)));
    const int base = axisLabels().top();
    painter.setPen(pal.color(QPalette::Text));
    painter.drawLine(axis.left(), base, axis.right(), base);
    const int labels = std::max(1, axis.width() / (fm.horizontalAdvance(QStringLiteral("00 May 2026")) + 2 * Margin));
    for (const Tick& tick : ticks(m_from, m_to, labels)) {
        const int x = xOf(tick.ms, axis);
        painter.drawLine(x, base, x, base + Margin / 2 + 1);
        if (x + 2 + fm.horizontalAdvance(tick.label) <= width())
            painter.drawText(x + 2, base + fm.ascent() + 2, tick.label);
    }
    if (m_now > m_from && m_now < m_to) {
        const int x = xOf(m_now, axis);
        painter.setPen(QPen(pal.color(QPalette::Highlight), 2));
        painter.drawLine(x, axis.top(), x, base);
    }
    if (shown.isEmpty() || m_segments.isEmpty()) {
        painter.setPen(pal.color(QPalette::PlaceholderText));
        painter.drawText(axis, Qt::AlignCenter, QStringLiteral("No address recorded in this period"));
    }
}

const TimelineView::Segment* TimelineView::segmentAt(const QPoint& pos) const
{
    // In the order drawn, backwards: what is seen on top is found first.
    for (const bool narrow : {true, false}) {
        for (auto segment = m_segments.crbegin(); segment != m_segments.crend(); ++segment) {
            if (isNarrow(*segment) == narrow && segmentRect(*segment).contains(pos))
                return &*segment;
        }
    }
    return nullptr;
}

bool TimelineView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    if (const Segment* segment = segmentAt(help->pos())) {
        const auto local = [](qint64 ms) {
            return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        };
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("%1: %2\n%3%4 – %5")
                               .arg(HistoryText::kindName(segment->kind), HistoryText::printable(segment->address),
                                    segment->startKnown ? QString() : QStringLiteral("before "), local(segment->fromMs),
                                    local(segment->toMs)),
                           this);
    } else {
        QToolTip::hideText();
    }
    return true;
}
