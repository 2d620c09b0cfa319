#pragma once

#include "core/NotificationResult.h"

#include <functional>

/// What the watcher asks of the notifiers. Implemented outside this library and handed in before the
/// first lookup; without one, changes notify nobody.
class Notifiers
{
public:
    enum class Kind
    {
        Mail,
        Web,
        Program,
        Mqtt,      // a message published to a broker
        DnsUpdate, // DNS UPDATE (RFC 2136) of a name's records
        Cloudflare, // a name's records through a DNS host's web API
    };
    /// How the notification ended: delivered, failed (with the status text the notifier showed) or given up.
    using Done = std::function<void(const NotificationResult& result)>;

    virtual ~Notifiers() = default;
    /// Starts one notification with the addresses the watcher shows now and returns; @p done (when set)
    /// runs exactly once, later or before this returns.
    virtual void notify(Kind kind, Done done) = 0;
    /// Ends what is under way (at shutdown): a mail in progress is given up and reports so.
    virtual void abort() = 0;
};
