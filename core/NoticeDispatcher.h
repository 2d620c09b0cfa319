#pragma once

#include "core/Notifiers.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>
#include <utility>

class PendingNotices;

/// The notices that changes owe and the tries of pending ones: which change each belongs to (only the newest
/// change's outcomes are recorded as pending), what each change's notices came to, how many run, and which tries
/// wait for the addresses of the lookup under way.
class NoticeDispatcher : public QObject
{
    Q_OBJECT
public:
    using Entry = std::pair<Notifiers::Kind, int>; // a kind and its entry (0: the kind's own)
    /// Starts one notice; the watcher's, so that what the notifier writes is its status line.
    using Start = std::function<void(Notifiers::Kind kind, int entry, Notifiers::Done done)>;

    /// What the notices of one change came to, with the tries of pending ones started while it was the newest.
    struct ChangeOutcome
    {
        bool failed = false;       // one of them failed
        bool owedNotified = false; // one that a change owed and an earlier run did not tell went out
    };

    NoticeDispatcher(PendingNotices& pending, Start start, QObject* parent = nullptr);

    /// Whether a notice may go out now (the addresses are current); otherwise a due try waits for retryWaiting().
    void setReady(std::function<bool()> ready) { m_ready = std::move(ready); }
    /// Whether an entry is still switched on; a pending one switched off is dropped when it is due.
    void setEnabled(std::function<bool(const Entry&)> enabled) { m_enabled = std::move(enabled); }

    /// A newer change: the tries that waited for the addresses go (only the newest addresses go out).
    void newChange() { m_waiting.clear(); }
    /// Starts every notice of the change just stored as owing @p entries.
    void notifyChange(const QList<Entry>& entries);
    /// A pending notice is due (PendingNotices::due): tried now, or once the addresses are current.
    void retry(Notifiers::Kind kind, int entry);
    /// The addresses are current again: the tries that waited start.
    void retryWaiting();
    /// Nothing starts or is recorded as failed after it (shutdown).
    void stop() { m_stopped = true; }

    /// How many notices run (of every change and try).
    int running() const { return m_running; }
    /// The newest change notified (they are counted); the notices and tries started now belong to it.
    int change() const { return m_change; }
    /// What the notices of @p change that ended since forgetEnded() came to.
    ChangeOutcome outcomeOf(int change) const { return m_outcomes.value(change); }
    /// Forgets what ended unless notices still run: a lookup that ends while notices of its change still run keeps
    /// the outcomes of those that ended before.
    void forgetEnded()
    {
        if (m_running == 0)
            m_outcomes.clear();
    }

signals:
    /// A notice ended (see outcomeOf).
    void ended();
    /// The same with what came of it, for counting.
    void resulted(Notifiers::Kind kind, const NotificationResult& result);
    /// A notice of the newest change failed: the status line to show (the notifier's own error when it gave one).
    void failed(const QString& text);
    /// A notice went out.
    void delivered();

private:
    void start(const Entry& entry, bool owed);
    void recordPending(const Entry& entry, int change, const NotificationResult& result);

    PendingNotices& m_pending;
    Start m_start;
    std::function<bool()> m_ready;
    std::function<bool(const Entry&)> m_enabled;
    int m_running = 0;
    int m_change = 0;       // counts changes: outcomes of an older one are not recorded as pending
    QHash<int, ChangeOutcome> m_outcomes;
    QList<Entry> m_waiting; // due while a lookup ran or before any address was found
    bool m_stopped = false;
};
