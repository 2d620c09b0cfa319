#include "core/AddressWatcher.h"

#include "core/Settings.h"
#include "platform/LocalAddress.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <limits>
#include <utility>

Q_LOGGING_CATEGORY(lcLookup, "vistrel.lookup", QtInfoMsg)

namespace {

// The agreed address of @p result when it is one of @p family; a source list that agreed on the other
// family (a dual-stack service reached the other way) has not answered the question asked.
std::optional<QString> agreedAddress(const LookupResult& result, QAbstractSocket::NetworkLayerProtocol family)
{
    if (result.outcome != LookupResult::Outcome::Agreed)
        return std::nullopt;
    const QHostAddress address(result.address);
    if (address.protocol() != family) {
        qCWarning(lcLookup) << "sources agreed on" << result.address << "which is not of the family asked for";
        return std::nullopt;
    }
    return address.toString();
}

const char* outcomeName(LookupResult::Outcome outcome)
{
    switch (outcome) {
    case LookupResult::Outcome::Agreed:
        return "agreed";
    case LookupResult::Outcome::Disagreed:
        return "disagreed";
    case LookupResult::Outcome::Failed:
        return "failed";
    case LookupResult::Outcome::NoSources:
        return "no sources";
    }
    return "?";
}

} // namespace

AddressWatcher::AddressWatcher(Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_product(LoadProductInfo()), m_changeTest(settings), m_router(settings),
      m_observer(settings), m_pending(settings),
      m_notices(m_pending, [this](Notifiers::Kind kind, int entry,
                                  Notifiers::Done done) { notify(kind, std::move(done), entry); }),
      m_clock([] { return QDateTime::currentDateTime(); }), m_localAddress(&localIPv4Address),
      m_localIPv6(&readLocalIPv6)
{
    qRegisterMetaType<WatchState>();
    connect(&m_observer, &AddressObserver::observed, this, &AddressWatcher::lookupObserved);
    connect(&m_observer, &AddressObserver::observed, this, &AddressWatcher::lookupDone);
    connect(&m_notices, &NoticeDispatcher::resulted, this, &AddressWatcher::noticeResulted);
    connect(&m_router, &RouterCheck::answered, this, &AddressWatcher::routerAnswered);
    connect(&m_router, &RouterCheck::natChanged, this,
            [this](RouterCheck::Nat before, RouterCheck::Nat after, const QString& text) {
                setStatus(text);
                emit natChanged(before, after, text);
            });
    connect(&m_router, &RouterCheck::finished, this, [this] {
        if (m_phase == Phase::WaitingForRouter)
            endCycle();
    });
    m_refreshTimer.setObjectName(QStringLiteral("timRefresh"));
    m_refreshTimer.setParent(this); // found by name among the window's children
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &AddressWatcher::refreshDue);
    connect(&m_statusLine, &StatusLine::changed, this, &AddressWatcher::statusChanged);
    connect(&m_pending, &PendingNotices::changed, this, &AddressWatcher::pendingUpdated);
    connect(&m_pending, &PendingNotices::due, &m_notices, &NoticeDispatcher::retry);
    m_notices.setReady([this] { return m_phase != Phase::LookingUp && addressesShown(); });
    m_notices.setEnabled(
        [this](const NoticeDispatcher::Entry& entry) { return isEntryEnabled(entry.first, entry.second); });
    connect(&m_notices, &NoticeDispatcher::ended, this, &AddressWatcher::noticeEnded);
    connect(&m_notices, &NoticeDispatcher::failed, this, &AddressWatcher::setStatusWithPending);
    // An error shown before a notice went out is no longer the news: the line keeps it, with its time.
    connect(&m_notices, &NoticeDispatcher::delivered, &m_statusLine, &StatusLine::outdateError);
    connect(&m_settings, &Settings::changed, this, [this](Key key) {
        for (const NotifierKindNames& names : NotifierKinds) {
            if (names.settingsKey == key && !m_settings.readFlag(key))
                m_pending.forget(names.kind); // switched off: nothing of it is owed any more
        }
    });
}

AddressWatcher::~AddressWatcher()
{
    m_refreshTimer.setParent(nullptr); // a member: destroyed with this object, not by it
}

void AddressWatcher::load()
{
    LoadNotifySettings(m_settings, m_notifySettings);
    m_changeTest.load();
    m_pending.load();
}

void AddressWatcher::loadRefreshSettings(bool defaultOn)
{
    m_refresh.setSelection(m_settings.readInt(Key::RefreshRate));
    setAutoRefresh(m_settings.readInt(Key::AutoRefresh, defaultOn ? 1 : 0) == 1);
}

// ---------------------------------------------------------------------------------------------
// Status

void AddressWatcher::setStatus(const QString& text)
{
    m_statusLine.show(text);
}

void AddressWatcher::setStatusWithPending(const QString& text)
{
    m_statusLine.showWithPending(text, m_pending.summary());
}

void AddressWatcher::showNotifierStatus(const QString& text)
{
    if (m_ownNoticesRunning > 0)
        setStatus(text);
    else
        emit notifierStatusShown(text);
}

void AddressWatcher::pendingUpdated()
{
    m_statusLine.pendingChanged(m_pending.summary());
    m_state.pending = m_pending.names();
    updateState();
    emit pendingChanged(m_pending.summary()); // the tray's own line: what and when
}

// ---------------------------------------------------------------------------------------------
// State

void AddressWatcher::planNextCheck()
{
    m_state.nextCheck = m_autoRefresh ? m_clock().addMSecs(m_refresh.remainingMs()) : QDateTime();
    updateState();
}

void AddressWatcher::armRefresh()
{
    if (m_autoRefresh)
        m_refreshTimer.start(int(std::min<qint64>(m_refresh.remainingMs(), std::numeric_limits<int>::max())));
    else
        m_refreshTimer.stop();
}

void AddressWatcher::updateState()
{
    using Condition = WatchState::Condition;
    if (!m_state.lastChecked.isValid())
        m_state.condition = Condition::NotChecked;
    else if (m_state.problem.kind != LookupProblem::Kind::None)
        m_state.condition = m_state.asOf.isValid() ? Condition::Stale : Condition::Error;
    else
        m_state.condition = m_state.pending.isEmpty() ? Condition::Current : Condition::NoticePending;
    if (m_state == m_shownState)
        return;
    m_shownState = m_state;
    emit stateChanged(m_state);
}

// ---------------------------------------------------------------------------------------------
// Lookup and refresh cycle

void AddressWatcher::lookUp()
{
    if (m_phase == Phase::LookingUp || m_shutDown)
        return;
    if (m_phase == Phase::WaitingForRouter)
        endCycle(); // the router's late answer belongs to the next lookup
    setPhase(Phase::LookingUp);
    ++m_lookupsStarted;
    m_refresh.restart(); // a lookup for any reason starts the refresh cycle again
    armRefresh();
    setStatus(QStringLiteral("Looking up your IPs..."));
    emit lookupStarted();
    // The machine's own address is known at once: shown before the sources answer, and when none of them works.
    if (const WatchedAddress internal = WatchedAddress::fromText(m_localAddress()); internal != m_shown.internal) {
        m_shown.internal = internal;
        emit addressesUpdated();
    }
    m_router.start();

    m_observer.start();
}

void AddressWatcher::lookupDone(const AddressObservation& observation)
{
    const LookupResult& result = observation.ipv4;
    const LookupResult& result6 = observation.ipv6;
    qCDebug(lcLookup) << "IPv4 lookup" << outcomeName(result.outcome) << result.address << "IPv6 lookup"
                      << outcomeName(result6.outcome) << result6.address;
    m_state.lastChecked = m_clock();
    const std::optional<QString> external = agreedAddress(result, QAbstractSocket::IPv4Protocol);
    if (!external) {
        m_state.problem = LookupProblem::fromResult(result);
        qCDebug(lcLookup).noquote() << "lookup failed:" << m_state.problem.shortText() << '\n'
                                    << m_state.problem.details;
        setStatus(m_state.problem.statusText());
        return endLookup(false);
    }
    m_state.problem = {};
    m_state.asOf = m_state.lastChecked;
    m_shown.external = WatchedAddress::fromText(*external);
    m_shown.internal = WatchedAddress::fromText(m_localAddress());
    WatchedAddress compared6; // none when the IPv6 sources did not agree on one
    if (result6.outcome == LookupResult::Outcome::NoSources) {
        m_shown.external6 = WatchedAddress();
    } else if (const std::optional<QString> external6 = agreedAddress(result6, QAbstractSocket::IPv6Protocol)) {
        m_shown.external6 = compared6 = WatchedAddress::fromText(*external6);
    } else {
        // The IPv4 sources answered, so the line is up; IPv6 sources that fail or disagree are not
        // trusted either way: the address shown and remembered stays, and nobody is told of a change.
        // A new process has shown none yet: the remembered one (if the file holds an address) is the newest known.
        const QHostAddress remembered = m_changeTest.oldExternalIPv6().address();
        if (m_shown.external6.isNone() && remembered.protocol() == QAbstractSocket::IPv6Protocol)
            m_shown.external6 = WatchedAddress::fromText(remembered.toString());
        qCInfo(lcLookup) << "IPv6 sources" << outcomeName(result6.outcome) << "; keeping" << externalIPv6Address();
    }
    // The machine's own IPv6 addresses: the stable one is what names point at; the prefix moves when the provider
    // renumbers; a temporary address the sources see rotates daily and is no change.
    const LocalIPv6 local6 = m_localIPv6();
    const std::optional<InterfaceIPv6> stable = local6.stable();
    m_shown.internal6 = stable ? WatchedAddress::fromText(stable->address.toString()) : WatchedAddress();
    m_shown.prefix6 = stable
                          ? WatchedAddress::fromText(Ipv6Addressing::prefixText(stable->address, stable->prefixLength))
                          : WatchedAddress();
    m_externalIPv6Temporary = local6.kindOf(m_shown.external6.address()) == InterfaceIPv6::Kind::Temporary;
    const ChangeTest::Comparison comparison = m_changeTest.compareAndRemember(
        m_shown.external, m_shown.internal, compared6, m_shown.prefix6, m_externalIPv6Temporary);
    const bool addressChanged = comparison.changed();
    // The new addresses and the notices they owe go into the store in one write: a crash after it leaves them
    // owed, and the next start sends them. The registry takes one value after another: the notices go first, so a
    // crash between the two leaves the old addresses, and the change is found again.
    QList<std::pair<Notifiers::Kind, int>> owed;
    if (addressChanged) {
        owed = enabledEntries();
        m_notices.newChange();
        m_cycle.notSaved = m_changeTest.save({{Key::PendingNotices, m_pending.owe(owed)}});
    } else {
        m_cycle.notSaved = m_changeTest.save();
    }
    emit addressesUpdated();
    m_cycle.changed = addressChanged;
    m_notices.forgetEnded();
    if (addressChanged) {
        const auto before = [](const WatchedAddress& changed, const WatchedAddress& now) {
            return changed.isNone() ? now : changed;
        };
        m_previous = Addresses{before(comparison.internalBefore, m_shown.internal),
                               before(comparison.externalBefore, m_shown.external),
                               before(comparison.external6Before, m_shown.external6), m_shown.internal6,
                               before(comparison.prefix6Before, m_shown.prefix6)};
        emit addressesChanged(comparison.changes);
        m_notices.notifyChange(owed);
    }
    m_cycle.change = m_notices.change();
    const QString again = addressChanged ? QStringLiteral("; the change will be announced again") : QString();
    if (!m_cycle.notSaved.isEmpty())
        setStatus(QStringLiteral("Error: The new address could not be saved (%1)%2").arg(m_cycle.notSaved, again));
    else
        setStatusWithPending(QStringLiteral("Finished looking up IPs"));
    endLookup(true);
}

void AddressWatcher::endLookup(bool ok)
{
    setPhase(Phase::Notifying);
    planNextCheck();
    emit lookupFinished(ok);
    m_router.lookupEnded(ok ? m_shown.external.text() : QString());
    // Tries that waited for this lookup belong to its cycle: a one-shot run waits for them too.
    if (ok)
        m_notices.retryWaiting();
    if (!ok)
        finishCycle(Outcome::LookupFailed);
    else if (m_notices.running() == 0)
        finishCycle(changeOutcome());
    if (m_lookupAgain && !m_shutDown) {
        m_lookupAgain = false;
        lookUp();
    }
}

void AddressWatcher::networkChanged()
{
    if (m_shutDown)
        return;
    if (m_phase == Phase::LookingUp) {
        m_lookupAgain = true;
        return;
    }
    qCDebug(lcLookup) << "network changed: looking up";
    lookUp();
}

void AddressWatcher::refreshDue()
{
    if (!m_autoRefresh)
        return;
    if (m_refresh.isDue()) {
        m_refresh.restart(); // also when the lookup is dropped because one runs
        lookUp();
    }
    armRefresh(); // a coarse timer may fire early: it waits for the rest
}

void AddressWatcher::setAutoRefresh(bool on)
{
    on = on && !m_shutDown;
    if (on && !m_autoRefresh)
        m_refresh.restart();
    m_autoRefresh = on;
    armRefresh();
    planNextCheck();
}

void AddressWatcher::setRefreshSelection(int selection)
{
    m_refresh.setSelection(selection);
    armRefresh();
    planNextCheck();
}

// ---------------------------------------------------------------------------------------------
// Notifications

bool AddressWatcher::isNotificationEnabled(Notifiers::Kind kind) const
{
    return m_settings.readFlag(notifierKind(kind).settingsKey);
}

void AddressWatcher::notify(Notifiers::Kind kind, Notifiers::Done done, int entry)
{
    if (!m_notifiers || m_shutDown) {
        if (done)
            done(NotificationResult::failed());
        return;
    }
    // Counted until the outcome: what the notifier writes on the way is this watcher's status line.
    ++m_ownNoticesRunning;
    m_notifiers->notifyEntry(kind, entry, [this, done = std::move(done)](const NotificationResult& result) {
        --m_ownNoticesRunning;
        if (done)
            done(result);
    });
}

QList<std::pair<Notifiers::Kind, int>> AddressWatcher::enabledEntries() const
{
    QList<std::pair<Notifiers::Kind, int>> entries;
    for (const NotifierKindNames& names : NotifierKinds) {
        if (isEntryEnabled(names.kind, 0))
            entries.append({names.kind, 0});
        if (m_notifiers) {
            for (const int entry : m_notifiers->moreEntries(names.kind))
                entries.append({names.kind, entry});
        }
    }
    return entries;
}

bool AddressWatcher::isEntryEnabled(Notifiers::Kind kind, int entry) const
{
    if (entry == 0)
        return isNotificationEnabled(kind) && (!m_notifiers || m_notifiers->sendsOnChange(kind, 0));
    return m_notifiers && m_notifiers->moreEntries(kind).contains(entry);
}

void AddressWatcher::noticeEnded()
{
    // A notice that ends while no cycle runs (a retry due between lookups) ends no cycle.
    if (m_notices.running() == 0 && m_phase == Phase::Notifying)
        finishCycle(changeOutcome());
}

void AddressWatcher::setPhase(Phase phase)
{
    if (phase == m_phase)
        return;
    qCDebug(lcLookup) << "phase" << m_phase << "->" << phase;
    m_phase = phase;
}

void AddressWatcher::finishCycle(Outcome outcome)
{
    m_cycle.outcome = outcome;
    // The router may still be answering: what it says belongs to this cycle (--once logs it before it ends).
    if (m_router.isRunning())
        setPhase(Phase::WaitingForRouter);
    else
        endCycle();
}

void AddressWatcher::endCycle()
{
    setPhase(Phase::Idle);
    emit cycleFinished(m_cycle.outcome);
}

AddressWatcher::Outcome AddressWatcher::changeOutcome() const
{
    if (!m_cycle.notSaved.isEmpty())
        return Outcome::NotSaved;
    const NoticeDispatcher::ChangeOutcome notices = m_notices.outcomeOf(m_cycle.change);
    if (notices.failed)
        return Outcome::NotifyFailed;
    return m_cycle.changed || notices.owedNotified ? Outcome::Notified : Outcome::Unchanged;
}

void AddressWatcher::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_notices.stop();
    m_autoRefresh = false;
    m_refreshTimer.stop();
    m_state.nextCheck = QDateTime();
    m_observer.cancel();
    m_router.cancel();
    if (m_notifiers)
        m_notifiers->abort();
}
