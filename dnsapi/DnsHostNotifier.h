#pragma once

#include "dnsapi/DnsHostEntry.h"
#include "notify/KindNotifier.h"

#include <QElapsedTimer>
#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>

#include <map>
#include <memory>

class DnsHostUpdate;
struct DnsProviderInfo;
struct DnsSession;
struct DnsTarget;

/// The DNS hosts: each entry (DnsHostEntries) keeps its names pointing at the addresses through its provider's API,
/// one DnsHostUpdate a send. Entries run side by side, each one at a time, each with its own secret, memory and
/// status; a send that would set what the entry's last success set sends nothing. Only a public address is ever
/// written, and only to the records of the names and types asked.
class DnsHostNotifier : public QObject, public KindNotifier
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 30000; // for one update, all its requests

    explicit DnsHostNotifier(NotificationHost& host, QObject* parent = nullptr);
    ~DnsHostNotifier() override;

    Traits traits(int entry) const override;
    bool previews() const override { return true; }
    QList<int> moreEntries() const override;
    NoticeSetting setting(const NoticeSend& send) const override;
    QString lastSetting(int entry) const override;
    void rememberSetting(int entry, const QString& remembered) override;
    void send(const NoticeSend& send, Notifiers::Done done) override;
    void abort(quint64 run) override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    /// Entry @p entry's name in the texts: the user's label, else the provider's.
    QString name(int entry) const;
    /// The records @p entry asks for with @p addresses: each name's A record with the IPv4 address, its AAAA record
    /// with a public IPv6 address.
    static QList<DnsTarget> targets(const DnsHostEntry& entry, const NoticeAddresses& addresses);
    /// Fills @p session for @p entry, or says what the user has to mend.
    QString prepare(int entry, const DnsHostEntry& value, const DnsProviderInfo& provider, DnsSession& session) const;

    NotificationHost& m_host;
    QNetworkAccessManager m_manager;
    int m_timeoutMs = DefaultTimeoutMs;
    std::map<quint64, std::unique_ptr<DnsHostUpdate>> m_updates; // by run
    QHash<int, QElapsedTimer> m_lastWrite; // since each entry's last update that wrote, for the host's own limit
};
