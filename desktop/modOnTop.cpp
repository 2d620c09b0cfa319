#include "desktop/modOnTop.h"

#include <QWidget>

void SetTopmost(QWidget* window, bool topmost)
{
    if (!window)
        return;
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost)
        return;
    // Changing a window's flags hides it (the platform window is made anew); keep it where it was.
    const bool shown = window->isVisible();
    const QPoint position = window->pos();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    window->move(position);
    if (shown)
        window->show();
}
