#include "desktop/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void placeOnScreenOf(QWidget* window, const QWidget* near)
{
    if (!window)
        return;
    const QScreen* screen = near ? near->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // Title bar and border: known once the window was shown; before that, room for a usual one.
    QSize frame(8, 36);
    if (window->windowFlags() & Qt::FramelessWindowHint)
        frame = QSize(0, 0);
    else if (window->isVisible())
        frame = window->frameGeometry().size() - window->size();
    const QSize room = (area.size() - frame).expandedTo(QSize(1, 1));
    const QSize size = window->size().boundedTo(room);
    if (size != window->size()) {
        const bool fixed = window->minimumSize() == window->maximumSize();
        window->setMinimumSize(window->minimumSize().boundedTo(size));
        if (fixed)
            window->setFixedSize(size);
        else
            window->resize(size);
    }
    // move() places the frame's top left corner.
    const QSize outer = size + frame;
    window->move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}
