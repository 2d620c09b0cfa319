#include "discovery/AddressLookup.h"

#include "discovery/DiscoveryLog.h"
#include "discovery/PublicAddress.h"
#include "discovery/SourceUri.h"

#include <QSet>

#include <map>

namespace {

/// IPv4 answers given as v4-mapped IPv6 count as the IPv4 address they carry.
QHostAddress normalised(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

QString familyName(QAbstractSocket::NetworkLayerProtocol family)
{
    return family == QAbstractSocket::IPv6Protocol ? QStringLiteral("IPv6") : QStringLiteral("IPv4");
}

} // namespace

AddressLookup::AddressLookup(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<LookupResult>();
    m_totalTimer.setSingleShot(true);
    connect(&m_totalTimer, &QTimer::timeout, this, [this] {
        for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
            if (!m_pending[i].done)
                record(i, false, {},
                       QStringLiteral("no answer within the lookup's %1 ms").arg(m_config.totalTimeoutMs));
        }
        decide();
    });
}

AddressLookup::~AddressLookup()
{
    // Not inside a source's signal here (finish() has already handed those to deleteLater): the sources go
    // now, so nothing is left for an event loop that may never run again.
    for (Pending& pending : m_pending) {
        if (pending.source)
            pending.source->disconnect(this);
    }
    m_pending.clear();
}

void AddressLookup::start(const Config& config)
{
    cancel();
    m_config = config;
    m_running = true;
    m_result = LookupResult();
    m_servers.clear();
    m_clock.start();
    const quint64 generation = ++m_generation;

    int valid = 0;
    for (const QString& uri : config.sources) {
        SourceOutcome outcome;
        outcome.uri = displayedSourceUri(uri);
        QString error;
        Pending pending;
        pending.source = makeAddressSource(uri, &error);
        if (!pending.source) {
            qCWarning(lcDiscovery) << "skipping the address source" << outcome.uri << "-" << error;
            outcome.reason = QStringLiteral("malformed source: %1").arg(error);
            pending.done = true;
        } else {
            ++valid;
        }
        m_result.outcomes.append(outcome);
        m_servers.append(sourceServer(uri));
        m_pending.push_back(std::move(pending));
    }
    m_quorum = std::clamp(config.quorum, 1, std::max(valid, 1));
    if (valid == 0) {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_generation && m_running)
                    finish(LookupResult::Outcome::NoSources, {});
            },
            Qt::QueuedConnection);
        return;
    }
    for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
        AddressSource* source = m_pending[i].source.get();
        if (!source)
            continue;
        source->setAddressFamily(config.family);
        connect(source, &AddressSource::answered, this, [this, i](const QHostAddress& a) { onAnswered(i, a); });
        connect(source, &AddressSource::failed, this, [this, i](const QString& reason) { onFailed(i, reason); });
        source->start(config.sourceTimeoutMs);
    }
    m_totalTimer.start(config.totalTimeoutMs);
}

bool AddressLookup::isRunning() const
{
    return m_running;
}

void AddressLookup::cancel()
{
    ++m_generation;
    m_running = false;
    m_totalTimer.stop();
    // A source may be the one whose signal is being handled: it goes once that handler has returned.
    for (Pending& pending : m_pending) {
        if (AddressSource* source = pending.source.release()) {
            source->disconnect(this);
            source->cancel();
            source->deleteLater();
        }
    }
    m_pending.clear();
}

void AddressLookup::onAnswered(int index, const QHostAddress& answer)
{
    m_result.outcomes[index].replied = true;
    const QHostAddress address = normalised(answer);
    if (m_config.family != QAbstractSocket::AnyIPProtocol && address.protocol() != m_config.family)
        record(index, false, {},
               QStringLiteral("not an %1 address: %2").arg(familyName(m_config.family), address.toString()));
    else if (!isPublicAddress(address))
        record(index, false, {}, QStringLiteral("not a public address: %1").arg(address.toString()));
    else
        record(index, true, address.toString(), {});
    decide();
}

void AddressLookup::onFailed(int index, const QString& reason)
{
    if (const AddressSource* source = m_pending[index].source.get())
        m_result.outcomes[index].replied = source->hasReplied();
    record(index, false, {}, reason);
    decide();
}

void AddressLookup::record(int index, bool ok, const QString& address, const QString& reason)
{
    Pending& pending = m_pending[index];
    if (pending.done)
        return;
    pending.done = true;
    SourceOutcome& outcome = m_result.outcomes[index];
    outcome.ok = ok;
    outcome.address = address;
    outcome.reason = reason;
    outcome.elapsedMs = m_clock.elapsed();
    if (ok)
        qCDebug(lcDiscovery).noquote() << outcome.uri << "answered" << address << "in" << outcome.elapsedMs << "ms";
    else
        qCDebug(lcDiscovery).noquote() << outcome.uri << "failed in" << outcome.elapsedMs << "ms:" << reason;
}

void AddressLookup::decide()
{
    if (!m_running)
        return;
    // The voices for each address: one per server, so a source listed twice, or a server asked two ways,
    // cannot agree with itself.
    std::map<QString, QSet<QString>> votes;
    for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
        const SourceOutcome& outcome = m_result.outcomes[i];
        if (outcome.ok)
            votes[outcome.address].insert(m_servers[i]);
    }
    for (const auto& [address, servers] : votes) {
        if (servers.size() >= m_quorum) {
            finish(LookupResult::Outcome::Agreed, address);
            return;
        }
    }
    for (const Pending& pending : m_pending) {
        if (!pending.done)
            return;
    }
    finish(votes.size() >= 2 ? LookupResult::Outcome::Disagreed : LookupResult::Outcome::Failed, {});
}

void AddressLookup::finish(LookupResult::Outcome outcome, const QString& address)
{
    for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
        if (!m_pending[i].done) {
            m_result.outcomes[i].reason = QStringLiteral("not needed: the others agreed");
            m_result.outcomes[i].elapsedMs = m_clock.elapsed();
        }
    }
    m_result.outcome = outcome;
    m_result.address = address;
    const LookupResult result = m_result;
    cancel();
    static const char* const names[] = {"agreed", "disagreed", "failed", "had no sources"};
    qCDebug(lcDiscovery).noquote() << "lookup" << names[static_cast<int>(outcome)] << address << "after"
                                   << m_clock.elapsed() << "ms";
    emit finished(result);
}
