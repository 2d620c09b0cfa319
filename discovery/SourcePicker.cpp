#include "discovery/SourcePicker.h"

#include <QHostAddress>
#include <QStringList>

#include <algorithm>
#include <climits>

QString sourceOperator(const QString& server)
{
    QString host = server;
    if (host.startsWith(QLatin1Char('['))) {
        host = host.mid(1, host.indexOf(QLatin1Char(']')) - 1);
    } else if (host.count(QLatin1Char(':')) == 1) {
        host.truncate(host.indexOf(QLatin1Char(':')));
    }
    if (!QHostAddress(host).isNull())
        return host;
    QStringList labels = host.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const qsizetype keep =
        labels.size() >= 3 && labels.last().size() == 2 && labels[labels.size() - 2].size() <= 3 ? 3 : 2;
    return labels.mid(std::max<qsizetype>(0, labels.size() - keep)).join(QLatin1Char('.'));
}

QString sourceKind(const QString& uri)
{
    const QString scheme = uri.trimmed().section(QLatin1Char(':'), 0, 0).toLower();
    return scheme == QLatin1String("https") ? QStringLiteral("http") : scheme;
}

void SourcePicker::reset(std::vector<Candidate> candidates, quint32 seed)
{
    QRandomGenerator random(seed);
    std::shuffle(candidates.begin(), candidates.end(), random);
    m_candidates = std::move(candidates);
    m_triedServers.clear();
    m_operators.clear();
    m_kinds.clear();
}

int SourcePicker::next(const QSet<QString>& busyServers)
{
    auto best = m_candidates.end();
    int bestScore = INT_MAX;
    for (auto it = m_candidates.begin(); it != m_candidates.end(); ++it) {
        if (busyServers.contains(it->server))
            continue;
        // The first of the lowest score wins: the shuffle breaks the ties.
        const int score = (it->lastResort ? 8 : 0) + (m_triedServers.contains(it->server) ? 4 : 0) +
                          (m_operators.contains(sourceOperator(it->server)) ? 2 : 0) +
                          (m_kinds.contains(it->kind) ? 1 : 0);
        if (score < bestScore) {
            bestScore = score;
            best = it;
        }
    }
    if (best == m_candidates.end())
        return -1;
    const int index = best->index;
    m_triedServers.insert(best->server);
    m_operators.insert(sourceOperator(best->server));
    m_kinds.insert(best->kind);
    m_candidates.erase(best);
    return index;
}
