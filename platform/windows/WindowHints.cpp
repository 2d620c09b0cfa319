#include "platform/WindowHints.h"

bool WindowHints::keepOffTaskbar(const QString&, quintptr)
{
    return false; // a tool window (Qt::Tool) is never on the task bar
}
