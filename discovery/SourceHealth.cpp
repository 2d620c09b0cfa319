#include "discovery/SourceHealth.h"

#include "discovery/DiscoveryLog.h"

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

SourceHealth::SourceHealth()
{
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    m_clock = [started] { return started->elapsed(); };
}

bool SourceHealth::isBenched(const QString& server)
{
    const auto it = m_records.find(server);
    if (it == m_records.end() || !it->second.benched)
        return false;
    Record& record = it->second;
    if (m_clock() < record.until)
        return true;
    record.benched = false;
    record.refused = false;
    record.failuresInRow = 0;
    qCInfo(lcDiscovery).noquote() << "address source" << server << "is asked again after its pause";
    return false;
}

bool SourceHealth::hasRefused(const QString& server) const
{
    const auto it = m_records.find(server);
    return it != m_records.end() && it->second.benched && it->second.refused;
}

qint64 SourceHealth::pauseLeftMs(const QString& server) const
{
    const auto it = m_records.find(server);
    return it == m_records.end() || !it->second.benched ? 0 : std::max<qint64>(0, it->second.until - m_clock());
}

void SourceHealth::answered(const QString& server, qint64 answerMs)
{
    Record& record = m_records[server];
    record.failuresInRow = 0;
    record.pausesInRow = 0;
    m_answerMs.push_back(std::max<qint64>(0, answerMs));
    if (m_answerMs.size() > Samples)
        m_answerMs.pop_front();
}

void SourceHealth::failed(const QString& server, const QString& reason)
{
    Record& record = m_records[server];
    if (++record.failuresInRow < FailuresBeforePause)
        return;
    const qint64 pause = std::min(LongestPauseMs, FirstPauseMs << std::min(record.pausesInRow, 16));
    bench(server, record, pause,
          QStringLiteral("failed %1 times in a row (last: %2)").arg(record.failuresInRow).arg(reason));
}

void SourceHealth::refused(const QString& server, int status, std::optional<qint64> retryAfterMs)
{
    Record& record = m_records[server];
    const qint64 pause = retryAfterMs ? std::clamp<qint64>(*retryAfterMs, 1000, LongestRetryAfterMs)
                                      : std::min(LongestPauseMs, FirstPauseMs << std::min(record.pausesInRow, 16));
    bench(server, record, pause,
          QStringLiteral("refused with HTTP status %1%2").arg(status).arg(retryAfterMs ? " and asked to wait" : ""));
    record.refused = true;
}

void SourceHealth::bench(const QString& server, Record& record, qint64 pauseMs, const QString& why)
{
    const bool wasBenched = record.benched;
    record.benched = true;
    record.refused = false;
    record.until = m_clock() + pauseMs;
    ++record.pausesInRow;
    if (!wasBenched)
        qCInfo(lcDiscovery).noquote() << "address source" << server << why << "- not asked for the next"
                                      << (pauseMs + 999) / 1000 << "s";
}

int SourceHealth::hedgeDelayMs() const
{
    if (m_answerMs.size() < 3)
        return StartHedgeMs;
    std::vector<qint64> sorted(m_answerMs.begin(), m_answerMs.end());
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    return static_cast<int>(std::clamp<qint64>(2 * sorted[sorted.size() / 2], ShortestHedgeMs, LongestHedgeMs));
}
