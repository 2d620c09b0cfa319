#include "core/RefreshCycle.h"

#include <algorithm>

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
    if (m_ticks < m_due)
        return false;
    m_ticks = 0;
    m_due = jittered();
    return true;
}

int RefreshCycle::jittered()
{
    if (m_testSeconds > 0)
        return m_seconds;
    const int spread = std::min(m_seconds / 10, MaxJitterSeconds);
    return m_seconds + (spread > 0 ? m_random.bounded(-spread, spread + 1) : 0);
}
