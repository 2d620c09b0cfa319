#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <optional>

/// What the lookups have learnt about their sources, per server (sourceServer()), for as long as the process runs:
/// it is kept in memory only, so a new start gives every server a fresh chance.
///
/// A server that refuses (HTTP 429 or 403), or fails FailuresBeforePause times in a row, is benched: not asked
/// until its pause is over. Pauses grow exponentially (FirstPauseMs, doubled at every bench in a row, at most
/// LongestPauseMs); a Retry-After the server sent is honoured instead, within 1 s and LongestRetryAfterMs. The
/// log (vistrel.discovery) says once when a server is benched and once when it is back.
///
/// It also keeps the answer times of the last Samples answers, from which the hedge delay comes.
class SourceHealth
{
public:
    /// Milliseconds on a steady clock.
    using Clock = std::function<qint64()>;

    static constexpr int FailuresBeforePause = 3;
    static constexpr qint64 FirstPauseMs = 60'000;
    static constexpr qint64 LongestPauseMs = 3'600'000;
    static constexpr qint64 LongestRetryAfterMs = 6 * 3'600'000;
    static constexpr int Samples = 32;
    // The hedge delay: twice the median answer time of the last answers, within these bounds; StartHedgeMs before
    // three answers are known. Twice the median: a source that takes that long is lagging rather than slow as
    // usual, and on answer times spread like a network's few healthy answers take that long (each hedge costs a
    // request). The lower bound keeps a burst of quick loopback answers from making every hiccup a hedge; the upper
    // one keeps a lookup with one silent source well inside its total timeout. The start value is what a TLS
    // handshake and one request to a distant service usually take together.
    static constexpr int StartHedgeMs = 800;
    static constexpr int ShortestHedgeMs = 100;
    static constexpr int LongestHedgeMs = 2000;

    SourceHealth();
    /// For tests: another clock.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    /// Whether @p server is benched now. The first call after its pause is over logs that it is back.
    bool isBenched(const QString& server);
    /// Whether @p server is benched because it refused (429, 403), rather than for failures.
    bool hasRefused(const QString& server) const;
    /// Milliseconds until @p server may be asked again (0 when it may be asked now).
    qint64 pauseLeftMs(const QString& server) const;

    void answered(const QString& server, qint64 answerMs);
    void failed(const QString& server, const QString& reason);
    /// An HTTP @p status 429 or 403, with the wait its Retry-After asked for when it sent one.
    void refused(const QString& server, int status, std::optional<qint64> retryAfterMs);

    int hedgeDelayMs() const;

private:
    struct Record
    {
        int failuresInRow = 0;
        int pausesInRow = 0; // benches without an answer between them
        qint64 until = 0;    // benched while the clock is before this
        bool benched = false;
        bool refused = false;
    };
    void bench(const QString& server, Record& record, qint64 pauseMs, const QString& why);

    Clock m_clock;
    std::map<QString, Record> m_records;
    std::deque<qint64> m_answerMs;
};
