#pragma once

#include "core/NotifierKinds.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

class Settings;

/// The notifications a change owes and those that failed, and when each is tried again: a change's at once, a
/// failed one after 30 s, then 1, 2, 5, 10, 30 and 60 minutes, and hourly after that, until it succeeds. Due times
/// are wall-clock (UTC) and kept in the setting @c pendingNotices, so what is pending survives a restart (or a
/// crash: a change's notices are stored as owed with its addresses). One single-shot timer waits for the earliest
/// due time; nothing ticks while waiting.
///
/// A kind with several entries (the web requests) has one pending entry for each: entry 0 is stored under the kind's
/// name, entry n under the name followed by n + 1 (`web`, `web2` ... `web9`).
///
/// The stored text is one entry per pending kind, separated by ';': `<kind>:<failures>:<due>`, where kind is
/// `mail`, `web`, `program`, `mqtt`, `dnsupdate` or `dnsapi` (or `web2` to `web9`), failures the tries that failed
/// so far (0 to MaxFailures; 0: owed by a change and not tried yet) and due the next try as
/// `yyyy-MM-ddTHH:mm:ssZ`, e.g. `mail:3:2026-12-07T01:02:03Z;web:1:2026-12-07T00:59:00Z`. An entry that does not
/// read back exactly so (unknown kind, bad number, bad date, a kind given twice) is nothing pending for that kind; a
/// value longer than MaxTextLength is nothing pending at all.
class PendingNotices : public QObject
{
    Q_OBJECT
public:
    using Kind = Notifiers::Kind;
    using Clock = std::function<QDateTime()>;

    static constexpr int KindCount = int(NotifierKinds.size());
    static constexpr int SlotCount = KindCount * Notifiers::MaxEntries; // every kind's every entry
    static constexpr int MaxFailures = 1000000;
    static constexpr qsizetype MaxTextLength = 4000;
    static constexpr int LongestRetryAfterSeconds = 24 * 60 * 60; // a server's Retry-After is believed this far

    struct Entry
    {
        int failures = 0; // tries that failed; 0 with a due time: owed, not tried yet
        QDateTime due;    // UTC, whole seconds; invalid: not pending
    };
    using Entries = std::array<Entry, SlotCount>;

    explicit PendingNotices(Settings& settings, QObject* parent = nullptr);

    /// Replaces the wall clock (tests). The clock must return UTC.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    /// Reads the setting. A due time already past fires once the event loop runs.
    void load();

    /// A notification of @p kind (its entry @p entry) failed: it is due again after the next step of the schedule,
    /// or at @p notBefore when that is later (a server's Retry-After; at most LongestRetryAfterSeconds from now).
    void failed(Kind kind, int entry = 0, const QDateTime& notBefore = {});
    /// A notification of @p kind reached its peer: nothing of that kind (entry) is pending any more.
    void succeeded(Kind kind, int entry = 0);
    /// A newer address change that owes @p entries (kind and entry): what was pending is dropped, since only the
    /// newest addresses go out, and these are due now, being tried (no due() for them). Returns the stored text, which the caller writes together with the new
    /// addresses, so that no crash leaves the addresses stored and the notices they owe forgotten.
    QString owe(const QList<std::pair<Kind, int>>& entries);

    bool isPending(Kind kind, int entry = 0) const { return slot(kind, entry).due.isValid(); }
    int failures(Kind kind, int entry = 0) const { return slot(kind, entry).failures; }
    /// The next try of @p kind; invalid when nothing of that kind is pending.
    QDateTime dueAt(Kind kind, int entry = 0) const { return slot(kind, entry).due; }
    bool isEmpty() const;
    /// How many notices are pending.
    int count() const;

    /// For the status line and the tray tip: "Mail notice pending, next try at 01:02:03" (local time);
    /// "" when nothing is pending (a change's notices on their first try are not).
    QString summary(const QDateTime& now) const;
    QString summary() const { return summary(m_clock()); }
    /// What is pending, named only, for the state at a glance: "mail", "mail and web 2"; "" when nothing is.
    QString names() const;
    /// @p kind was switched off: none of its entries is pending any more.
    void forget(Kind kind);

    /// Emits due() for every kind whose time has come by the clock and is not already being tried (the timer's
    /// handler; tests call it after moving their clock instead of waiting).
    void fireDueNow();

    /// Seconds from the @p failures th failure (1 for the first) to the next try.
    static int delaySeconds(int failures);
    /// Reads the stored text; never fails, damaged entries are left out (see the class comment).
    static Entries parse(const QString& text);
    static QString format(const Entries& entries);

signals:
    /// @p kind (its entry @p entry) is due: notify it again with the newest addresses, then call failed() or
    /// succeeded().
    void due(PendingNotices::Kind kind, int entry);
    /// What is pending or when it is tried next changed.
    void changed();

private:
    static size_t index(Kind kind, int entry) { return size_t(kind) * Notifiers::MaxEntries + size_t(entry); }
    const Entry& slot(Kind kind, int entry) const { return m_entries[index(kind, entry)]; }
    Entry& slot(Kind kind, int entry) { return m_entries[index(kind, entry)]; }
    void update();
    void arm();
    /// The pending entries as summary() names them; @p next, when given, gets the earliest due time.
    QStringList pendingNames(QDateTime* next) const;

    Settings& m_settings;
    Clock m_clock;
    Entries m_entries;
    std::array<bool, SlotCount> m_trying{}; // due() emitted, no outcome yet
    QTimer m_timer;
};
