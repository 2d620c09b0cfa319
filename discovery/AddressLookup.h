#pragma once

#include "discovery/AddressSource.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

struct SourceOutcome
{
    QString uri; // as shown: user info masked (user:***@)
    bool ok = false;
    QString address; // when ok
    QString reason;  // when not ok (also "not a public address: 10.0.0.1")
    bool replied = false; // the server sent something back (an answer, good or bad)
    qint64 elapsedMs = 0;
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
    QList<SourceOutcome> outcomes; // every source asked, in list order
};

/// Asks every source of one address family at once and decides by agreement of distinct servers.
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
    };
    explicit AddressLookup(QObject* parent = nullptr);
    ~AddressLookup() override;
    /// Starts a lookup; finished() comes later, never from inside start(). A start while running restarts.
    void start(const Config& config);
    bool isRunning() const;
    void cancel();
signals:
    void finished(const LookupResult& result);

private:
    struct Pending
    {
        std::unique_ptr<AddressSource> source; // null for a malformed URI
        bool done = false;
    };
    void onAnswered(int index, const QHostAddress& address);
    void onFailed(int index, const QString& reason);
    void record(int index, bool ok, const QString& address, const QString& reason);
    void decide();
    void finish(LookupResult::Outcome outcome, const QString& address);

    Config m_config;
    int m_quorum = 0;
    bool m_running = false;
    quint64 m_generation = 0;
    std::vector<Pending> m_pending;
    LookupResult m_result;
    QStringList m_servers; // sourceServer() of each source, in list order
    QElapsedTimer m_clock;
    QTimer m_totalTimer;
};

Q_DECLARE_METATYPE(LookupResult)
