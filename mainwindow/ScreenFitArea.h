#pragma once

#include <QScrollArea>

/// The main window's content in a scroll area that asks for the content's own sizes, so that the window looks as
/// it would without one; only where the screen has less room than the content needs (a large scale on a small
/// screen) does it ask for no more than the room, and the content scrolls.
class ScreenFitArea : public QScrollArea
{
public:
    explicit ScreenFitArea(QWidget* content, QWidget* parent = nullptr);

    /// The most the area may ask for: the screen's free area less what the window puts around it.
    void setRoom(const QSize& room);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    QSize m_room{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
};
