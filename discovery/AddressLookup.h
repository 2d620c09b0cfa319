#pragma once

#include "discovery/AddressSource.h"
#include "discovery/SourceHealth.h"
#include "discovery/SourcePicker.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

struct SourceOutcome
{
    QString uri; // as shown: user info masked (user:***@)
    bool ok = false;
    QString address;      // when ok
    QString reason;       // when not ok (also "not a public address: 10.0.0.1")
    bool replied = false; // the server sent something back (an answer, good or bad)
    bool asked = false;   // false: the lookup ended, or the source was benched, before it was needed
    bool resting = false; // not asked: its server was benched (SourceHealth)
    bool ended = false;   // it answered or failed, rather than being cut short
    qint64 elapsedMs = 0;
    qint64 answerMs = 0; // from its question to its end, when ended
};

struct LookupResult
{
    enum class Outcome
    {
        Agreed,
        Disagreed,
        Failed,
        NoSources
    };
    Outcome outcome = Outcome::Failed;
    QString address;               // when Agreed
    QList<SourceOutcome> outcomes; // every source of the list, in list order
};

/// Asks the sources of one address family for this machine's public address and decides by agreement of distinct
/// servers (sourceServer()).
///
/// It asks no more sources than the agreement needs, chosen at random among the servers not benched (SourceHealth)
/// and spread over operators and kinds (SourcePicker), and asks one more only when one fails, disagrees or has not
/// answered within the hedge delay. A lookup that runs out of sources before the agreement ends Disagreed or
/// Failed with the outcome of every source.
class AddressLookup : public QObject
{
    Q_OBJECT
public:
    struct Config
    {
        QStringList sources;
        int quorum = 2; // servers that must agree (sourceServer); capped at the number of valid sources
        int sourceTimeoutMs = 5000;
        int totalTimeoutMs = 8000;
        /// The family answers must be in (IPv4Protocol for the IPv4 list, IPv6Protocol for the IPv6 one);
        /// an answer in the other family is a failed answer. AnyIPProtocol takes both.
        QAbstractSocket::NetworkLayerProtocol family = QAbstractSocket::AnyIPProtocol;
        /// How long a source may take before one more is asked: -1 from the answer times so far
        /// (SourceHealth::hedgeDelayMs()), 0 for none: every source at once.
        int hedgeDelayMs = -1;
        /// The seed of the random choice of sources; none: a fresh one per lookup.
        std::optional<quint32> seed;
    };
    explicit AddressLookup(QObject* parent = nullptr);
    ~AddressLookup() override;
    /// Starts a lookup; finished() comes later, never from inside start(). A start while running restarts.
    void start(const Config& config);
    bool isRunning() const;
    void cancel();
    /// What the lookups learnt about the sources' servers; it lasts as long as this object.
    SourceHealth& health() { return m_health; }
signals:
    void finished(const LookupResult& result);

private:
    struct Pending
    {
        std::unique_ptr<AddressSource> source; // null for a malformed URI
        bool started = false;
        bool done = false;
        qint64 startedMs = 0;
        int refusalStatus = 0;
        std::optional<qint64> retryAfterMs;
    };
    void onAnswered(int index, const QHostAddress& address);
    void onFailed(int index, const QString& reason);
    void record(int index, bool ok, const QString& address, const QString& reason);
    void decide();
    /// Asks more sources until as many run as the agreement still needs, plus the hedges.
    void askMore();
    void ask(int index);
    int running() const;
    void learn();
    void finish(LookupResult::Outcome kind, const QString& address);

    Config m_config;
    int m_quorum = 0;
    bool m_running = false;
    quint64 m_generation = 0;
    std::vector<Pending> m_pending;
    LookupResult m_result;
    QStringList m_servers; // sourceServer() of each source, in list order
    QElapsedTimer m_clock;
    QTimer m_totalTimer;
    QTimer m_hedgeTimer;
    int m_hedges = 0; // sources asked beyond the need because others were slow
    bool m_timedOut = false;
    SourcePicker m_picker;
    SourceHealth m_health;
};

Q_DECLARE_METATYPE(LookupResult)
