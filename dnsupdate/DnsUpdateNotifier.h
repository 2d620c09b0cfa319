#pragma once

#include "dnsupdate/DnsExchange.h"
#include "notify/DnsNames.h"
#include "notify/KindNotifier.h"

#include <QObject>

class NotificationHost;

/// The DNS update: sets the A record (and the AAAA record, when there is a public IPv6 address) of each of its names
/// (DnsNames: one or several, each with its A and AAAA choice and TTL) in one zone to the external addresses, on the
/// zone's primary, signed with a TSIG key; one update a name, one name after the other.
///
/// It sends nothing when the last update set the same addresses, and asks the server first: when the name holds
/// exactly the addresses already, nothing is sent either. The update carries as its prerequisite the records just
/// read (RFC 2136 "RRset exists, value dependent", or "RRset does not exist"), so that a change made meanwhile by
/// someone else is not overwritten: the server then answers NXRRSET and the update fails, to be tried again.
/// Records of a type it does not set (AAAA without an IPv6 address) stay as they are.
class DnsUpdateNotifier : public QObject, public KindNotifier
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 10000;      // for each request and its answer
    static constexpr int DefaultTotalTimeoutMs = 30000; // for the whole update, from the server's look-up on

    /// The key's secret comes from the host's secret store of its key, or the settings.
    explicit DnsUpdateNotifier(NotificationHost& host, QObject* parent = nullptr);

    Traits traits(int) const override
    {
        return {QStringLiteral("DNS update"), Concurrency::OneAtATime, m_totalTimeoutMs, {Key::DnsUpdateKeySecret},
                Key::DnsUpdateLastSet};
    }
    /// The server, zone, name and addresses: an update that would set what the last one set sends nothing.
    NoticeSetting setting(const NoticeSend& send) const override;
    void send(const NoticeSend& send, Notifiers::Done done) override;
    void abort(quint64 run) override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setTotalTimeoutMs(int ms) { m_totalTimeoutMs = ms; }

private:
    enum class State
    {
        Idle,
        Resolving,
        Reading,
        Updating,
    };

    void setState(State state);
    void start(const NoticeAddresses& addresses);
    /// The records @p addresses ask for @p name, one set per type.
    static QList<RecordSet> wanted(const NoticeAddresses& addresses, const DnsHostName& name);
    /// The names, fully qualified: the zone's own name when none is given.
    QList<DnsHostName> names(QString* error) const;
    void beginName();
    void nameDone(const QString& text);
    void serverFound(const QHostAddress& server);
    void readNext();
    void recordRead(const DnsAnswer& answer, const QString& failure);
    void updateAnswered(const DnsAnswer& answer, const QString& failure);
    QString failureText(const DnsAnswer& answer, const QString& failure) const;
    void succeed(const QString& text);
    void fail(const QString& text,
              NotificationResult::Category category = NotificationResult::Category::Transient);
    void stopExchanges();

    NotificationHost& m_host;
    DnsExchange m_exchange;
    State m_state = State::Idle;
    Notifiers::Done m_done;
    int m_timeoutMs = DefaultTimeoutMs;
    int m_totalTimeoutMs = DefaultTotalTimeoutMs; // a server that answers each request just in time still cannot
                                                  // hold the update longer
    int m_lookup = -1; // the host name look-up under way

    // The update under way.
    TsigKey m_key;
    QHostAddress m_server;
    quint16 m_port = 53;
    UpdatePlan m_plan;
    NoticeAddresses m_addresses;
    QList<DnsHostName> m_names;
    qsizetype m_current = 0; // the name read or updated now
    QStringList m_namesDone; // what became of each name before it
    QList<RecordSet> m_wanted; // what the name should hold, one set per type
    qsizetype m_reading = 0;   // the index in m_wanted being read
};
