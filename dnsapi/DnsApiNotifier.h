#pragma once

#include "dnsapi/DnsApiAnswer.h"
#include "notify/HttpExchange.h"
#include "notify/KindNotifier.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

class NotificationHost;
class QUrlQuery;
class Settings;

/// Points a name's A record (and its AAAA record when there is a public IPv6 address) at the addresses shown now,
/// through the DNS host's web API with a bearer token: finds the zone by name, then each record by name and type,
/// and changes a record's content (PATCH: its TTL and proxy setting stay) only when it holds another address; a
/// record that does not exist is created with the TTL set. What it last saw the records hold is remembered, and a
/// send that would set the same again sends nothing. Every answer is read within DnsApiAnswer's bounds; each
/// failure becomes one "Error: DNS API: ..." status. The token goes only into the Authorization header and never
/// into a status or a log, in any encoding.
class DnsApiNotifier : public QObject, public KindNotifier
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 30000; // for the whole update, all its requests

    /// The API token comes from the host's secret store of its key, or the settings.
    explicit DnsApiNotifier(NotificationHost& host, QObject* parent = nullptr);
    ~DnsApiNotifier() override;

    /// Starts an update with @p send's addresses; one at a time, all its requests within the time limit.
    void send(const NoticeSend& send, Notifiers::Done done) override;
    void abort(quint64 run) override;
    Traits traits(int) const override;
    /// The API, zone, record and addresses: an update that would set what the last one saw set sends nothing.
    NoticeSetting setting(const NoticeSend& send) const override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    enum class State
    {
        Idle,
        FindingZone,
        FindingRecord,
        Writing,
    };
    struct Target
    {
        QString type;    // A or AAAA
        QString address; // to set
        QString was;     // what the record held; empty for a record created
    };

    /// The zone, the record's full name and the API's address as the settings give them.
    struct Names
    {
        QString zone;
        QString record;
        QUrl base;
    };
    static Names names(const Settings& settings);
    /// The records @p addresses ask for: A for the IPv4 address, AAAA for a public IPv6 address.
    static QList<Target> targets(const NoticeAddresses& addresses);
    static QString memory(const Names& names, const QList<Target>& targets);

    void setState(State state);
    void begin(const NoticeAddresses& addresses);
    void nextRecord();
    void request(const QByteArray& verb, const QString& path, const QUrlQuery& query, const QByteArray& body = {});
    void finished(const HttpExchange::Result& result);
    void answered(const DnsApiAnswer& answer);
    void recordsFound(const DnsApiAnswer& answer);
    /// The status for an answer that is no success, and whether one came at all.
    QString failure(const HttpExchange::Result& result, const DnsApiAnswer& answer) const;
    void succeed();
    void fail(const QString& reason,
              NotificationResult::Category category = NotificationResult::Category::Transient);
    void end(NotificationResult result);
    /// @p text with the token blanked out, should a server have echoed it.
    QString shown(QString text) const;
    QString timedOutText() const;

    NotificationHost& m_host;
    QNetworkAccessManager m_manager;
    Notifiers::Done m_done;
    State m_state = State::Idle;
    int m_timeoutMs = DefaultTimeoutMs;
    QElapsedTimer m_clock; // since the update's first request

    // The update under way
    QUrl m_base;
    QString m_secret;
    QString m_zone;
    QString m_record;
    QString m_zoneId;
    QList<Target> m_targets;
    qsizetype m_next = 0; // the target asked for or written now
    QPointer<HttpExchange> m_exchange;
    bool m_cancelled = false;
};
