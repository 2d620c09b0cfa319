#pragma once

#include "core/NotificationResult.h"

#include <QList>

#include <functional>

/// What the watcher asks of the notifiers. Implemented outside this library and handed in before the
/// first lookup; without one, changes notify nobody.
class Notifiers
{
public:
    /// The most entries a kind has (the web requests: the URL of old and eight more).
    static constexpr int MaxEntries = 9;

    enum class Kind
    {
        Mail,
        Web,
        Program,
        Mqtt,      // a message published to a broker
        DnsUpdate, // DNS UPDATE (RFC 2136) of a name's records
        DnsHosts,  // names kept pointing at the addresses through DNS hosts' web APIs
    };
    /// How the notification ended: delivered, failed (with the status text the notifier showed) or given up.
    using Done = std::function<void(const NotificationResult& result)>;

    virtual ~Notifiers() = default;
    /// Starts one notification with the addresses the watcher shows now and returns; @p done (when set)
    /// runs exactly once, later or before this returns.
    virtual void notify(Kind kind, Done done) = 0;
    /// A kind may have several entries (the web requests), each notified and retried on its own. Entry 0 is the one
    /// the kind's check box switches; these are the others that are switched on now (each has its own switch).
    virtual QList<int> moreEntries(Kind kind) const
    {
        (void)kind;
        return {};
    }
    /// Whether entry @p entry of @p kind is told of a change when it is switched on (some go after lookups instead).
    virtual bool sendsOnChange(Kind kind, int entry) const
    {
        (void)kind;
        (void)entry;
        return true;
    }
    /// Like notify(), for entry @p entry of @p kind (0: notify() itself).
    virtual void notifyEntry(Kind kind, int entry, Done done)
    {
        if (entry == 0)
            return notify(kind, std::move(done));
        if (done)
            done(NotificationResult::failed());
    }
    /// Like notify(), asked for by the user (Test Now): sent even when the last one set the same addresses.
    virtual void test(Kind kind, int entry, Done done) { notifyEntry(kind, entry, std::move(done)); }
    /// What test() would change, for a kind that keeps names pointing at the addresses: its message says it, and
    /// nothing is changed. Other kinds fail at once.
    virtual void preview(Kind kind, int entry, Done done)
    {
        (void)kind;
        (void)entry;
        if (done)
            done(NotificationResult::misconfigured({}));
    }
    /// Ends what is under way (at shutdown): a mail in progress is given up and reports so.
    virtual void abort() = 0;
};
