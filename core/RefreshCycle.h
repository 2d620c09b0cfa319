#pragma once

#include <QRandomGenerator>

#include <functional>

/// The automatic refresh: when the next lookup is due. A cycle starts with a lookup (a manual one, a network change's
/// or its own) or when auto refresh is switched on, and lasts the interval chosen; the watcher's one single-shot timer
/// waits for its end, so nothing runs in between.
///
/// Each cycle's length is the interval with a random jitter of up to a tenth of it either way (at most
/// MaxJitterSeconds; none below 10 s), so that many computers started at the same moment do not ask the address
/// sources in the same second for ever.
class RefreshCycle
{
public:
    static constexpr int MaxJitterSeconds = 120;
    /// Milliseconds on a clock that only goes forward: a wall clock set back would hold the lookup back.
    using Clock = std::function<qint64()>;

    RefreshCycle();

    /// Seconds for an entry of the interval list (-1 for no selection); other indexes keep @p current.
    static int secondsForSelection(int selection, int current);

    /// A new cycle from now, with a new jitter.
    void restart();
    /// Milliseconds until the lookup is due; 0 once it is.
    qint64 remainingMs() const;
    bool isDue() const { return remainingMs() == 0; }

    /// Takes the interval from the list's selection. The cycle keeps its start, so a shorter interval may make the
    /// lookup due at once.
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

    /// Replaces the clock (tests); the cycle starts again on it.
    void setClock(Clock clock)
    {
        m_clock = std::move(clock);
        m_start = m_clock();
    }

    /// The interval chosen.
    int seconds() const { return m_seconds; }
    /// The seconds of this cycle: the interval with its jitter.
    int due() const { return m_due; }

private:
    int jittered();

    Clock m_clock;
    qint64 m_start = 0;
    int m_seconds = 60;
    int m_testSeconds = 0;
    QRandomGenerator m_random{QRandomGenerator::global()->generate()};
    int m_due = jittered();
};
