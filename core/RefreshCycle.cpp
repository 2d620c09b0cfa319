#include "core/RefreshCycle.h"

int RefreshCycle::secondsForSelection(int selection, int current)
{
    switch (selection) {
    case -1:
    case 0:
        return 60;
    case 1:
        return 300;
    case 2:
        return 600;
    case 3:
        return 1800;
    case 4:
        return 3600;
    default:
        return current;
    }
}

bool RefreshCycle::tick()
{
    ++m_ticks;
    if (m_ticks < m_seconds)
        return false;
    m_ticks = 0;
    return true;
}
