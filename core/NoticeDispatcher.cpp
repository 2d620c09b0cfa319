#include "core/NoticeDispatcher.h"

#include "core/NotifierKinds.h"
#include "core/PendingNotices.h"

NoticeDispatcher::NoticeDispatcher(PendingNotices& pending, Start start, QObject* parent)
    : QObject(parent), m_pending(pending), m_start(std::move(start)), m_ready([] { return true; }),
      m_enabled([](const Entry&) { return true; })
{
}

void NoticeDispatcher::notifyChange(const QList<Entry>& entries)
{
    // Counted before the first starts: a notifier may report its end before it returns.
    m_running += int(entries.size());
    ++m_change;
    for (const Entry& entry : entries)
        start(entry, false);
}

void NoticeDispatcher::retry(Notifiers::Kind kind, int entry)
{
    if (m_stopped)
        return;
    const Entry item{kind, entry};
    if (!m_enabled(item))
        return m_pending.succeeded(kind, entry); // switched off since it failed: nobody wants it any more
    // Only with the addresses as they are now: after the lookup under way, or the first one.
    if (!m_ready()) {
        if (!m_waiting.contains(item))
            m_waiting.append(item);
        return;
    }
    ++m_running;
    // Owed by a change that a run stopped before it was told: when it goes out, a change was told of.
    start(item, m_pending.failures(kind, entry) == 0);
}

void NoticeDispatcher::retryWaiting()
{
    if (!m_ready())
        return;
    for (const auto& [kind, entry] : std::exchange(m_waiting, {})) {
        if (m_pending.isPending(kind, entry))
            retry(kind, entry);
    }
}

void NoticeDispatcher::start(const Entry& entry, bool owed)
{
    m_start(entry.first, entry.second, [this, entry, owed, change = m_change](const NotificationResult& result) {
        recordPending(entry, change, result);
        ChangeOutcome& outcome = m_outcomes[change];
        outcome.failed = outcome.failed || !result.ok();
        outcome.owedNotified = outcome.owedNotified || (owed && result.ok());
        if (m_running > 0)
            --m_running;
        emit resulted(entry.first, result);
        emit ended();
    });
}

void NoticeDispatcher::recordPending(const Entry& entry, int change, const NotificationResult& result)
{
    const auto [kind, index] = entry;
    if (change != m_change)
        return; // a newer change has been notified since
    if (result.ok()) {
        m_pending.succeeded(kind, index);
        emit delivered();
        return;
    }
    // A failure that the settings cause is not tried again: it would fail the same way every hour. The status
    // line says what to mend, and the next change tells the mended entry.
    if (result.outcome == NotificationResult::Outcome::Failed && !result.worthRetrying())
        m_pending.succeeded(kind, index);
    else
        m_pending.failed(kind, index, result.notBefore);
    if (m_stopped || result.outcome == NotificationResult::Outcome::GivenUp)
        return;
    emit failed(!result.message.isEmpty()
                    ? result.message
                    : QStringLiteral("Error: The %1 did not go out").arg(QLatin1String(notifierKind(kind).statusName)));
}
