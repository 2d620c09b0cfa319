#pragma once

#include <QRandomGenerator>

/// The automatic refresh: counts one-second ticks and says when the chosen interval is reached.
///
/// Each cycle's length is the interval with a random jitter of up to a tenth of it either way (at most
/// MaxJitterSeconds; none below 10 s), so that many computers started at the same moment do not ask the address
/// sources in the same second for ever. The tick stays one a second; only the count that makes a lookup due changes.
class RefreshCycle
{
public:
    static constexpr int MaxJitterSeconds = 120;

    /// Seconds for an entry of the interval list (-1 for no selection); other indexes keep @p current.
    static int secondsForSelection(int selection, int current);

    /// One tick. Returns true, and starts counting again, when a lookup is due.
    bool tick();

    /// Takes the interval from the list's selection. The tick count is left as it is, so a shorter
    /// interval may make the very next tick start a lookup.
    void setSelection(int selection)
    {
        m_seconds = m_testSeconds > 0 ? m_testSeconds : secondsForSelection(selection, m_seconds);
        m_due = jittered();
    }

    /// For the long-run tests only: a fixed, shorter interval that no list selection changes, without jitter.
    void setTestInterval(int seconds)
    {
        m_testSeconds = seconds;
        m_seconds = seconds;
        m_due = seconds;
    }

    /// For tests: the jitter from a fixed seed.
    void setJitterSeed(quint32 seed)
    {
        m_random.seed(seed);
        m_due = jittered();
    }

    int ticks() const { return m_ticks; }
    /// The interval chosen.
    int seconds() const { return m_seconds; }
    /// The ticks of this cycle: the interval with its jitter.
    int due() const { return m_due; }
    void setTicks(int ticks) { m_ticks = ticks; }

private:
    int jittered();

    int m_ticks = 0;
    int m_seconds = 60;
    int m_testSeconds = 0;
    QRandomGenerator m_random{QRandomGenerator::global()->generate()};
    int m_due = jittered();
};
