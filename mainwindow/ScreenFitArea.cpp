#include "mainwindow/ScreenFitArea.h"

#include <QStyle>

ScreenFitArea::ScreenFitArea(QWidget* content, QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("contentArea"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setWidget(content);
}

void ScreenFitArea::setRoom(const QSize& room)
{
    m_room = room;
    // Where the content fits it is laid out as without the area, never with a scroll bar for a pixel or two.
    const QSize content = widget()->minimumSizeHint();
    setHorizontalScrollBarPolicy(content.width() <= room.width() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(content.height() <= room.height() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    updateGeometry();
}

QSize ScreenFitArea::sizeHint() const
{
    const QSize border = size() - maximumViewportSize(); // what the style puts around the viewport
    return (widget()->sizeHint().expandedTo(widget()->minimumSizeHint()) + border).boundedTo(m_room);
}

QSize ScreenFitArea::minimumSizeHint() const
{
    const QSize content = widget()->minimumSizeHint() + (size() - maximumViewportSize());
    if (content.width() <= m_room.width() && content.height() <= m_room.height())
        return content;
    // Scrolled one way, the other needs room for the scroll bar.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QSize(std::min(content.width() + (content.height() > m_room.height() ? bar : 0), m_room.width()),
                 std::min(content.height() + (content.width() > m_room.width() ? bar : 0), m_room.height()));
}
