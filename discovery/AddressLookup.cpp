#include "discovery/AddressLookup.h"

#include "discovery/DiscoveryLog.h"
#include "discovery/PublicAddress.h"
#include "discovery/SourceUri.h"

#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <climits>

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
        m_timedOut = true;
        for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
            if (m_pending[i].started && !m_pending[i].done)
                record(i, false, {},
                       QStringLiteral("no answer within the lookup's %1 ms").arg(m_config.totalTimeoutMs));
        }
        decide();
    });
    m_hedgeTimer.setSingleShot(true);
    connect(&m_hedgeTimer, &QTimer::timeout, this, [this] {
        if (running() == 0)
            return;
        ++m_hedges;
        askMore();
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
    // Servers that refused wait for their time; those benched after failures come last, when no other is left.
    std::vector<SourcePicker::Candidate> candidates;
    for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
        if (!m_pending[i].source)
            continue;
        const bool benched = m_health.isBenched(m_servers[i]);
        if (!benched || !m_health.hasRefused(m_servers[i]))
            candidates.push_back({i, m_servers[i], sourceKind(config.sources[i]), benched});
    }
    m_picker.reset(std::move(candidates), config.seed ? *config.seed : QRandomGenerator::global()->generate());
    m_hedges = 0;
    m_timedOut = false;
    m_totalTimer.start(config.totalTimeoutMs);
    askMore();
    if (running() == 0) { // every server refused: the end comes from the event loop, as always
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_generation && m_running)
                    decide();
            },
            Qt::QueuedConnection);
    }
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
    m_hedgeTimer.stop();
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
    if (const AddressSource* source = m_pending[index].source.get()) {
        m_result.outcomes[index].replied = source->hasReplied();
        m_pending[index].refusalStatus = source->refusalStatus();
        m_pending[index].retryAfterMs = source->retryAfterMs();
    }
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
    outcome.ended = true;
    outcome.answerMs = outcome.elapsedMs - pending.startedMs;
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
    askMore();
    if (running() == 0)
        finish(votes.size() >= 2 ? LookupResult::Outcome::Disagreed : LookupResult::Outcome::Failed, {});
}

void AddressLookup::askMore()
{
    if (m_timedOut)
        return;
    // The servers heard from or being asked: another source of theirs would add no voice.
    QSet<QString> busy;
    std::map<QString, QSet<QString>> votes;
    int best = 0;
    for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
        const SourceOutcome& outcome = m_result.outcomes[i];
        if (m_pending[i].started && (!m_pending[i].done || outcome.ok))
            busy.insert(m_servers[i]);
        if (outcome.ok) {
            QSet<QString>& servers = votes[outcome.address];
            servers.insert(m_servers[i]);
            best = std::max(best, static_cast<int>(servers.size()));
        }
    }
    const bool allAtOnce = m_config.hedgeDelayMs == 0;
    const int wanted = allAtOnce ? INT_MAX : m_quorum - best + m_hedges;
    for (int asking = running(); asking < wanted; ++asking) {
        const int index = m_picker.next(busy);
        if (index < 0)
            break;
        busy.insert(m_servers[index]);
        ask(index);
    }
}

void AddressLookup::ask(int index)
{
    Pending& pending = m_pending[index];
    AddressSource* source = pending.source.get();
    pending.started = true;
    pending.startedMs = m_clock.elapsed();
    m_result.outcomes[index].asked = true;
    source->setAddressFamily(m_config.family);
    connect(source, &AddressSource::answered, this, [this, index](const QHostAddress& a) { onAnswered(index, a); });
    connect(source, &AddressSource::failed, this, [this, index](const QString& reason) { onFailed(index, reason); });
    source->start(m_config.sourceTimeoutMs);
    if (m_config.hedgeDelayMs != 0)
        m_hedgeTimer.start(m_config.hedgeDelayMs > 0 ? m_config.hedgeDelayMs : m_health.hedgeDelayMs());
}

int AddressLookup::running() const
{
    return static_cast<int>(
        std::count_if(m_pending.begin(), m_pending.end(), [](const Pending& p) { return p.started && !p.done; }));
}

void AddressLookup::learn()
{
    // A lookup in which no server sent anything back failed on this side (no network): that counts against none.
    const bool anyReplied = std::any_of(m_result.outcomes.begin(), m_result.outcomes.end(),
                                        [](const SourceOutcome& outcome) { return outcome.replied; });
    for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
        const Pending& pending = m_pending[i];
        const SourceOutcome& outcome = m_result.outcomes[i];
        if (!pending.started || !pending.done)
            continue;
        if (outcome.ok)
            m_health.answered(m_servers[i], outcome.elapsedMs - pending.startedMs);
        else if (pending.refusalStatus != 0)
            m_health.refused(m_servers[i], pending.refusalStatus, pending.retryAfterMs);
        else if (anyReplied)
            m_health.failed(m_servers[i], outcome.reason);
    }
}

void AddressLookup::finish(LookupResult::Outcome kind, const QString& address)
{
    learn();
    for (int i = 0; i < static_cast<int>(m_pending.size()); ++i) {
        if (m_pending[i].done)
            continue;
        SourceOutcome& outcome = m_result.outcomes[i];
        outcome.elapsedMs = m_clock.elapsed();
        outcome.resting = m_health.pauseLeftMs(m_servers[i]) > 0 && !outcome.asked;
        if (const qint64 pause = m_health.pauseLeftMs(m_servers[i]); pause > 0 && !outcome.asked)
            outcome.reason = QStringLiteral("not asked: %1, paused for %2 s more")
                                 .arg(m_health.hasRefused(m_servers[i]) ? "it refused" : "it failed too often")
                                 .arg((pause + 999) / 1000);
        else if (outcome.asked || kind == LookupResult::Outcome::Agreed)
            outcome.reason = QStringLiteral("not needed: the others agreed");
        else
            outcome.reason = m_timedOut ? QStringLiteral("not asked: the lookup's time was up")
                                        : QStringLiteral("not asked: its server was asked through another source");
    }
    m_result.outcome = kind;
    m_result.address = address;
    const LookupResult result = m_result;
    cancel();
    static const char* const names[] = {"agreed", "disagreed", "failed", "had no sources"};
    qCDebug(lcDiscovery).noquote() << "lookup" << names[static_cast<int>(kind)] << address << "after"
                                   << m_clock.elapsed() << "ms";
    emit finished(result);
}
