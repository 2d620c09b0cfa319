#pragma once

#include "core/AddressObserver.h"
#include "core/ChangeTest.h"
#include "core/NoticeDispatcher.h"
#include "core/Notifiers.h"
#include "core/NotifySettings.h"
#include "core/PendingNotices.h"
#include "core/ProductInfo.h"
#include "core/RefreshCycle.h"
#include "core/RouterCheck.h"
#include "core/SettingsKeys.h"
#include "core/StatusLine.h"
#include "core/WatchState.h"
#include "core/WatchedAddress.h"
#include "discovery/AddressLookup.h"
#include "platform/Ipv6Addresses.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class Settings;

/// The watcher without a window: looks the addresses up (on demand, on the refresh cycle, when the
/// network changes), shows them through its signals, remembers them in the store and notifies on a
/// change. The main window drives and observes one; the headless modes run one on their own.
class AddressWatcher : public QObject
{
    Q_OBJECT
public:
    /// How a lookup and what it started ended, for the one-shot mode's exit status.
    enum class Outcome
    {
        LookupFailed,
        Unchanged,
        Notified,
        NotifyFailed,
        NotSaved, ///< the addresses found could not be stored (a change is announced again next time)
    };
    Q_ENUM(Outcome)

    /// Where the watcher stands. A cycle is one lookup and every notice it started or that waited for it; it ends
    /// (cycleFinished) once, when they have ended and the router has answered.
    enum class Phase
    {
        Idle,
        LookingUp,
        Notifying,        ///< the lookup has ended; its notices (or tries of pending ones) run
        WaitingForRouter, ///< the cycle's outcome is known; the router's answer still belongs to it
    };
    Q_ENUM(Phase)

    explicit AddressWatcher(Settings& settings, QObject* parent = nullptr);
    ~AddressWatcher() override;

    void setNotifiers(Notifiers* notifiers) { m_notifiers = notifiers; }
    /// Where the internal address comes from (the machine's own by default).
    void setLocalAddressSource(std::function<QString()> source) { m_localAddress = std::move(source); }
    /// Whether the machine can reach the IPv6 internet (its routing table by default); without a
    /// route the IPv6 sources are not asked and the IPv6 address is "none".
    void setIPv6RouteProbe(std::function<bool()> probe) { m_observer.setIPv6RouteProbe(std::move(probe)); }
    /// Where the machine's own IPv6 addresses come from (the system's by default).
    void setLocalIPv6Source(std::function<LocalIPv6()> source) { m_localIPv6 = std::move(source); }
    /// The query that asks the router for its WAN address along with each lookup; without one it is not asked.
    void setRouterQuery(RouterQuery* query) { m_router.setQuery(query); }
    /// The router's WAN address as shown ("" before it was first asked).
    const QString& routerText() const { return m_router.shownText(); }

    /// Reads the notification values, the remembered addresses and the notifications still to be tried
    /// again from the store (again, after the file was edited by hand). The refresh settings are the
    /// caller's: see loadRefreshSettings.
    void load();
    /// Takes auto refresh and its interval from the store; @p defaultOn when the file says nothing.
    void loadRefreshSettings(bool defaultOn);

    /// One lookup of both address families; returns at once. Dropped while one runs.
    void lookUp();
    /// The machine's addresses or routes changed, or it woke up: a lookup now, or right after the one
    /// that is running (which may have asked over the network that was just replaced).
    void networkChanged();
    /// The refresh timer's handler: a lookup when the cycle's time has come, else the timer waits on (tests call it
    /// after moving the cycle's clock instead of waiting).
    void refreshDue();
    /// Switching it on starts a new refresh cycle.
    void setAutoRefresh(bool on);
    /// An entry of the interval list (-1 for none).
    void setRefreshSelection(int selection);

    /// Whether a change starts the notification of @p kind (its check box, read from the store).
    bool isNotificationEnabled(Notifiers::Kind kind) const;
    /// Starts the notification of @p kind (its entry @p entry) now, with the addresses shown.
    void notify(Notifiers::Kind kind, Notifiers::Done done = {}, int entry = 0);

    /// Stops the cycle, cancels the lookups and gives up the notifications under way. Nothing runs after it.
    void shutdown();

    /// The status line: every writer replaces the whole text.
    void setStatus(const QString& text);
    /// A notifier's status line. A notice the watcher started (a change, a retry, notify()) writes the status
    /// line; one started elsewhere (a test from the configuration dialog) only goes to notifierStatusShown.
    void showNotifierStatus(const QString& text);
    /// What is true now: last and next check, and whether the addresses shown are current.
    const WatchState& state() const { return m_state; }
    /// Replaces the wall clock of the state's times (tests).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    const QString& status() const { return m_statusLine.text(); }
    /// The addresses as shown ("000.000.000.000" before the first lookup; IPv6 "none" when there is none).
    QString internalAddress() const { return m_shown.internal.shownText(IPv4); }
    QString externalAddress() const { return m_shown.external.shownText(IPv4); }
    QString externalIPv6Address() const { return m_shown.external6.shownText(IPv6); }
    /// The machine's own stable IPv6 address and its prefix ("2001:db8:1:2::/64"); "none" without one.
    QString internalIPv6Address() const { return m_shown.internal6.shownText(IPv6); }
    QString ipv6Prefix() const { return m_shown.prefix6.shownText(IPv6); }
    /// Whether the public IPv6 address the sources see is one of the machine's temporary addresses.
    bool isExternalIPv6Temporary() const { return m_externalIPv6Temporary; }
    /// The addresses before the last change this watcher found; before any, the addresses shown.
    QString previousInternalAddress() const { return previous().internal.shownText(IPv4); }
    QString previousExternalAddress() const { return previous().external.shownText(IPv4); }
    QString previousExternalIPv6Address() const { return previous().external6.shownText(IPv6); }
    QString previousIPv6Prefix() const { return previous().prefix6.shownText(IPv6); }
    Phase phase() const { return m_phase; }
    bool isLookupRunning() const { return m_phase == Phase::LookingUp; }
    /// Whether a cycle has started and not yet ended (see Phase).
    bool isCycleRunning() const { return m_phase != Phase::Idle; }
    /// How many lookups have started since the watcher was made.
    int lookupsStarted() const { return m_lookupsStarted; }

    Settings& settings() { return m_settings; }
    NotifySettings& notifySettings() { return m_notifySettings; }
    const ProductInfo& product() const { return m_product; }
    RefreshCycle& refreshCycle() { return m_refresh; }
    /// The notifications that failed and when each is tried again (tests move its clock).
    PendingNotices& pendingNotices() { return m_pending; }

signals:
    void statusChanged(const QString& text);
    /// The status of a notice the watcher did not start (see showNotifierStatus).
    void notifierStatusShown(const QString& text);
    /// The state changed (see state()).
    void stateChanged(const WatchState& state);
    /// A lookup has started (the status says "Looking up your IPs...").
    void lookupStarted();
    /// A lookup has ended, successfully or not.
    void lookupFinished(bool ok);
    /// What every source of a lookup answered (before lookupFinished).
    void lookupObserved(const AddressObservation& observation);
    /// A notice the watcher started (a change's, a retry) ended with @p result.
    void noticeResulted(Notifiers::Kind kind, const NotificationResult& result);
    /// After every successful lookup, changed or not: the addresses to show.
    void addressesUpdated();
    /// The addresses changed: one entry for each (never for the first address ever seen).
    void addressesChanged(const QList<AddressChange>& changes);
    /// A lookup and every notification it started have ended.
    void cycleFinished(AddressWatcher::Outcome outcome);
    /// The router answered, or did not: "Router's WAN address: 100.64.3.4 (NAT-PMP)", for the log.
    void routerAnswered(const QString& line);
    /// Whether the line is behind another NAT changed; @p text is the notice (also the status line).
    void natChanged(RouterCheck::Nat before, RouterCheck::Nat after, const QString& text);
    /// What is pending changed; @p summary is the text for the status line and tray tip ("" when nothing is).
    void pendingChanged(const QString& summary);

private:
    void lookupDone(const AddressObservation& observation);
    void endLookup(bool ok);
    void setPhase(Phase phase);
    /// The cycle's outcome is known: it ends now, or when the router has answered.
    void finishCycle(Outcome outcome);
    void endCycle();
    /// Every notification a change starts: each enabled kind's entries.
    QList<std::pair<Notifiers::Kind, int>> enabledEntries() const;
    void noticeEnded();
    bool isEntryEnabled(Notifiers::Kind kind, int entry) const;
    Outcome changeOutcome() const;
    void setStatusWithPending(const QString& text);
    void pendingUpdated();
    void planNextCheck();
    /// Sets the refresh timer for the end of the cycle (stops it when auto refresh is off).
    void armRefresh();
    /// Whether a lookup has found the addresses since the start (a notice goes out only with them).
    bool addressesShown() const { return !m_shown.external.isNone(); }
    void updateState();

    Settings& m_settings;
    ProductInfo m_product;
    NotifySettings m_notifySettings;
    RefreshCycle m_refresh;
    ChangeTest m_changeTest;
    RouterCheck m_router;
    QTimer m_refreshTimer; // single shot, for the end of the refresh cycle
    bool m_autoRefresh = false;
    AddressObserver m_observer;
    Phase m_phase = Phase::Idle;
    bool m_lookupAgain = false;
    bool m_shutDown = false;
    int m_lookupsStarted = 0;
    /// What the cycle found, for its outcome. The notices of its change (and the tries of pending ones it started)
    /// decide it, also those that ended before its lookup did; those of an older change do not.
    struct Cycle
    {
        bool changed = false;                 // the lookup found a change
        int change = 0;                       // the change whose notices are this cycle's (NoticeDispatcher::change)
        QString notSaved;                     // why the lookup's addresses are not in the store
        Outcome outcome = Outcome::Unchanged; // once finishCycle has been called
    } m_cycle;
    PendingNotices m_pending;
    NoticeDispatcher m_notices;
    struct Addresses
    {
        WatchedAddress internal, external, external6;
        WatchedAddress internal6, prefix6; // the machine's stable IPv6 address and its prefix
    };
    static constexpr WatchedAddress::Family IPv4 = WatchedAddress::Family::IPv4;
    static constexpr WatchedAddress::Family IPv6 = WatchedAddress::Family::IPv6;
    const Addresses& previous() const { return m_previous ? *m_previous : m_shown; }
    Addresses m_shown;
    std::optional<Addresses> m_previous; // before the last change

    StatusLine m_statusLine;
    int m_ownNoticesRunning = 0;
    WatchState m_state;
    WatchState m_shownState; // as last emitted
    std::function<QDateTime()> m_clock;

    Notifiers* m_notifiers = nullptr;
    std::function<QString()> m_localAddress;
    std::function<LocalIPv6()> m_localIPv6;
    bool m_externalIPv6Temporary = false;
};
