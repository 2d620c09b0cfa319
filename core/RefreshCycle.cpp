#include "core/RefreshCycle.h"

#include <algorithm>
#include <chrono>

RefreshCycle::RefreshCycle()
    : m_clock([] {
          using namespace std::chrono;
          return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
      }),
      m_start(m_clock())
{
}

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

void RefreshCycle::restart()
{
    m_start = m_clock();
    m_due = jittered();
}

qint64 RefreshCycle::remainingMs() const
{
    return std::max<qint64>(0, m_start + qint64(m_due) * 1000 - m_clock());
}

int RefreshCycle::jittered()
{
    if (m_testSeconds > 0)
        return m_seconds;
    const int spread = std::min(m_seconds / 10, MaxJitterSeconds);
    return m_seconds + (spread > 0 ? m_random.bounded(-spread, spread + 1) : 0);
}
