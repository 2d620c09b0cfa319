#pragma once

#include "dnsapi/DnsApiAnswer.h"
#include "notify/HttpExchange.h"
#include "notify/NotificationService.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

class NotificationHost;
class PasswordStore;
class QUrlQuery;

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

    /// @p token keeps the API token; not owned.
    DnsApiNotifier(NotificationHost& host, PasswordStore& token, QObject* parent = nullptr);
    ~DnsApiNotifier() override;

    /// Starts an update with the addresses shown now; one at a time (a second one fails at once).
    void send(Notifiers::Done done) override;
    void abort() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    enum class State
    {
        Idle,
        WaitingForToken,
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

    void setState(State state);
    void begin();
    void nextRecord();
    void request(const QByteArray& verb, const QString& path, const QUrlQuery& query, const QByteArray& body = {});
    void finished(const HttpExchange::Result& result);
    void answered(const DnsApiAnswer& answer);
    void recordsFound(const DnsApiAnswer& answer);
    /// The status for an answer that is no success, and whether one came at all.
    QString failure(const HttpExchange::Result& result, const DnsApiAnswer& answer) const;
    void succeed();
    void fail(const QString& reason);
    void end(NotificationResult result);
    /// @p text with the token blanked out, should a server have echoed it.
    QString shown(QString text) const;
    QString memory() const;
    QString timedOutText() const;

    NotificationHost& m_host;
    PasswordStore& m_token;
    QNetworkAccessManager m_manager;
    Notifiers::Done m_done;
    State m_state = State::Idle;
    int m_timeoutMs = DefaultTimeoutMs;
    quint64 m_run = 0; // counts the updates started
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
