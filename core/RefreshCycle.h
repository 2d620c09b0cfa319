#pragma once

/// The automatic refresh: counts one-second ticks and says when the chosen interval is reached.
class RefreshCycle
{
public:
    /// Seconds for an entry of the interval list (-1 for no selection); other indexes keep @p current.
    static int secondsForSelection(int selection, int current);

    /// One tick. Returns true, and starts counting again, when a lookup is due.
    bool tick();

    /// Takes the interval from the list's selection. The tick count is left as it is, so a shorter
    /// interval may make the very next tick start a lookup.
    void setSelection(int selection)
    {
        m_seconds = m_testSeconds > 0 ? m_testSeconds : secondsForSelection(selection, m_seconds);
    }

    /// For the long-run tests only: a fixed, shorter interval that no list selection changes.
    void setTestInterval(int seconds)
    {
        m_testSeconds = seconds;
        m_seconds = seconds;
    }

    int ticks() const { return m_ticks; }
    int seconds() const { return m_seconds; }
    void setTicks(int ticks) { m_ticks = ticks; }

private:
    int m_ticks = 0;
    int m_seconds = 60;
    int m_testSeconds = 0;
};
