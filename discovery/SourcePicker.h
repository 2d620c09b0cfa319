#pragma once

#include <QRandomGenerator>
#include <QSet>
#include <QString>

#include <vector>

/// The operator behind a source's server (sourceServer()): an IP address as it is, a host name cut to its
/// registrable domain, guessed without a list of public suffixes: the last two labels, or three where the last is
/// a country code and the one before it is short ("co.uk", "com.au").
QString sourceOperator(const QString& server);
/// The kind of source: "http" (http and https), "dns" or "stun".
QString sourceKind(const QString& uri);

/// Chooses which source a lookup asks next: in a random order, spread over operators. Of the sources whose server
/// is not busy (asking or already heard), it takes one whose server has not been tried in this lookup, then one of
/// an operator not asked yet, then one of a kind not asked yet; sources kept for the last resort (benched after
/// failures) come only when no other is left.
class SourcePicker
{
public:
    struct Candidate
    {
        int index = 0; // the lookup's index of the source
        QString server;
        QString kind;
        bool lastResort = false;
    };
    /// Forgets the last lookup and shuffles @p candidates with @p seed.
    void reset(std::vector<Candidate> candidates, quint32 seed);
    /// The index of the next source to ask, or -1 when no source is left whose server is not in @p busyServers.
    int next(const QSet<QString>& busyServers);
    /// Sources that were not taken yet.
    int left() const { return static_cast<int>(m_candidates.size()); }

private:
    std::vector<Candidate> m_candidates;
    QSet<QString> m_triedServers;
    QSet<QString> m_operators;
    QSet<QString> m_kinds;
};
