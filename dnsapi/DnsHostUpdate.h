#pragma once

#include "core/NotificationResult.h"
#include "dnsapi/ApiText.h"
#include "dnsapi/DnsProvider.h"
#include "notify/HttpExchange.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QNetworkAccessManager;

/// One update of one DNS-host entry: the flow every provider shares, the provider's requests in it. Logs in where
/// the provider does, finds the zone, then for each target reads what the host holds for its name and type and
///  - writes nothing when the one record holds the address already,
///  - changes the one record that holds another address (its other properties stay),
///  - creates the record when there is none,
///  - refuses, for that target, to choose when there are two or more,
/// and leaves every other record alone. A preview reads and says what it would do, and writes nothing. All its
/// requests share one deadline; none follows a redirect; the secrets go only where the provider puts them and are
/// masked in all that comes back. Reports once, through done.
class DnsHostUpdate : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxBodyBytes = 1024 * 1024; // a longer answer is refused unread
    static constexpr int MaxPages = 20;                  // of one list; more are not read

    struct Options
    {
        QString name;            ///< what the texts begin with: "Cloudflare"
        int timeoutMs = 30000;   ///< for the whole update
        bool preview = false;    ///< read only, and say what would change
        QByteArray userAgent;
    };
    using Done = std::function<void(const NotificationResult&)>;

    /// Talks to the host through @p provider, which it keeps until it is deleted.
    DnsHostUpdate(QNetworkAccessManager& manager, std::unique_ptr<const DnsProvider> provider, DnsSession session,
                  QList<DnsTarget> targets, Options options, QObject* parent = nullptr);
    ~DnsHostUpdate() override;

    /// Starts; @p done runs once, later or before this returns.
    void start(Done done);
    /// Ends it: done reports it given up.
    void abort();

private:
    enum class State
    {
        Idle,
        LoggingIn,
        FindingZone,
        Reading,
        Writing,
        LoggingOut,
    };
    /// What became of one target.
    struct Outcome
    {
        enum class What
        {
            Pending,
            Created,
            Changed,
            AlreadySet,
            Sent,    // to a host that cannot be read
            Refused, // two or more records of its name and type
        };
        What what = What::Pending;
        QString was; // the address the record held
        int count = 0; // of the records of its name and type, when refused
    };

    void setState(State state);
    void login();
    void nextTarget();
    void read(const QString& page);
    void decide();
    void write(const ApiRequest& request);
    void logout();
    void send(ApiRequest request);
    void answered(const HttpExchange::Result& result);
    ReadResult failure(const HttpExchange::Result& result) const;
    void succeed();
    void fail(const ReadResult& failure);
    void end(NotificationResult result);
    QString line(const DnsTarget& target, const Outcome& outcome) const;
    /// What became of the targets so far, grouped by name.
    QString report() const;
    QString shown(QString text) const;
    QString timedOutText() const;

    QNetworkAccessManager& m_manager;
    std::unique_ptr<const DnsProvider> m_provider;
    DnsSession m_session;
    QList<DnsTarget> m_targets;
    QList<Outcome> m_outcomes;
    Options m_options;
    Done m_done;
    State m_state = State::Idle;
    QElapsedTimer m_clock;
    SecretMask m_mask;
    qsizetype m_next = 0; // the target read or written now
    QList<DnsRecord> m_records; // of the target read now
    int m_pages = 0;
    int m_logins = 0;
    ReadResult m_failure; // a failure that waits for the logout
    QDateTime m_retryAfter; // what a 429 or 503 asked
    QPointer<HttpExchange> m_exchange;
};
