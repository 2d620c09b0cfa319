#pragma once

#include "dnsupdate/DnsExchange.h"
#include "notify/NotificationService.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class NotificationHost;
class PasswordStore;

/// The DNS update: sets the A record (and the AAAA record, when there is a public IPv6 address) of one name in one
/// zone to the external addresses, on the zone's primary, signed with a TSIG key.
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

    /// @p secret keeps the key's secret (not owned; none: the settings key holds it).
    DnsUpdateNotifier(NotificationHost& host, PasswordStore* secret, QObject* parent = nullptr);

    void send(Notifiers::Done done) override;
    void abort() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setTotalTimeoutMs(int ms) { m_deadline.setInterval(ms); }

private:
    enum class State
    {
        Idle,
        Resolving,
        Reading,
        Updating,
    };

    void setState(State state);
    void start();
    void serverFound(const QHostAddress& server);
    void readNext();
    void recordRead(const DnsAnswer& answer, const QString& failure);
    void updateAnswered(const DnsAnswer& answer, const QString& failure);
    QString failureText(const DnsAnswer& answer, const QString& failure) const;
    void succeed(const QString& text);
    void fail(const QString& text);
    void stopExchanges();
    QString lastSetText() const;

    NotificationHost& m_host;
    QPointer<PasswordStore> m_secret;
    DnsExchange m_exchange;
    State m_state = State::Idle;
    Notifiers::Done m_done;
    int m_timeoutMs = DefaultTimeoutMs;
    QTimer m_deadline; // a server that answers each request just in time still cannot hold the update longer
    int m_lookup = -1; // the host name look-up under way

    // The update under way.
    TsigKey m_key;
    QHostAddress m_server;
    quint16 m_port = 53;
    UpdatePlan m_plan;
    QList<RecordSet> m_wanted; // what the name should hold, one set per type
    qsizetype m_reading = 0;   // the index in m_wanted being read
};
