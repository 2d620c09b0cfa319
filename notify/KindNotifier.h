#pragma once

#include "core/Notifiers.h"
#include "core/SettingsKeys.h"
#include "notify/NotificationHost.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/// The addresses one notice tells, taken when it is asked for: a notice that waits for its secret still tells
/// the addresses of the change that asked for it.
struct NoticeAddresses
{
    QString internal;
    QString external;
    QString external6; // "none" without a public IPv6 address
    QString previousInternal;
    QString previousExternal;
    QString previousExternal6;
    QString internal6 = QStringLiteral("none"); // the machine's own stable IPv6 address
    QString prefix6 = QStringLiteral("none");   // its prefix, "2001:db8:1:2::/64"
    QString previousPrefix6 = QStringLiteral("none");
};

/// The addresses @p host shows now.
inline NoticeAddresses addressesShownBy(const NotificationHost& host)
{
    return {host.internalAddress(),         host.externalAddress(),
            host.externalIPv6Address(),     host.previousInternalAddress(),
            host.previousExternalAddress(), host.previousExternalIPv6Address(),
            host.internalIPv6Address(),     host.ipv6Prefix(),
            host.previousIPv6Prefix()};
}

/// One send of a kind, as the runner (NotificationService) hands it over.
struct NoticeSend
{
    quint64 run = 0; // the runner's number for it: abort(run) ends it
    int entry = 0;   // 0: the kind's own; a web request's number otherwise
    bool forced = false; // asked for by the user (Test Now): sent even when the last one set the same
    bool preview = false; // only say what a send would change, change nothing (forced too)
    QString pingUrl;      // a ping after a lookup: asked instead of the entry's URL; only a failure is shown
    NoticeAddresses addresses;
};

/// What a send would set, for a kind that keeps a name pointing at the addresses: the runner sends nothing when
/// the last success set the same (unless forced), and remembers it after a success.
struct NoticeSetting
{
    QString remembered; // compared with, and stored as, the kind's memory; empty: nothing to remember
    QString shown;      // "home.example.org 203.0.113.7", for the status line
};

/// A kind of notification: mail, web requests, program, MQTT, DNS UPDATE, DNS API. It says what it needs and
/// sends; NotificationService runs it: one at a time or several, waiting for its secrets, within its deadline,
/// with every secret masked in every text, the "already set" memory, and one wording for what it adds.
class KindNotifier
{
public:
    enum class Concurrency
    {
        OneAtATime, // another send of the same entry while one runs fails at once: the one under way keeps its report
        Parallel,
    };

    /// What the runner needs to know of a send of one entry.
    struct Traits
    {
        QString name; ///< in its status texts: "Error: <name>: ..."
        Concurrency concurrency = Concurrency::Parallel;
        /// The longest one send may take, every step together; it is given up and fails as timed out when it has
        /// not ended by then. A kind with a limit of its own that says more (which answer did not come) sets this
        /// past it.
        int deadlineMs = 30000;
        /// The settings keys of its secrets. The send waits until the keyring has answered for each (where the host
        /// keeps it there), and no text it produces shows any of them, in any encoding.
        QList<Key> secretKeys = {};
        /// Where what the last success set is kept (see setting()); none: lastSetting() and rememberSetting().
        std::optional<Key> memoryKey = {};
    };

    virtual ~KindNotifier() = default;

    virtual Traits traits(int entry) const = 0;
    /// Whether a send with preview set only reads and says what it would change; the runner sends no preview to a
    /// kind that cannot.
    virtual bool previews() const { return false; }
    /// The entries besides 0 that a change tells (those switched on, and damaged ones: they fail saying why).
    virtual QList<int> moreEntries() const { return {}; }
    /// Whether entry @p entry goes on a change (a ping goes after lookups instead).
    virtual bool sendsOnChange(int entry) const
    {
        (void)entry;
        return true;
    }
    /// What @p send would set (see NoticeSetting); nothing for a kind without such a memory.
    virtual NoticeSetting setting(const NoticeSend& send) const
    {
        (void)send;
        return {};
    }
    /// The memory of @p entry, where no memoryKey holds it: what its last success set.
    virtual QString lastSetting(int entry) const
    {
        (void)entry;
        return {};
    }
    virtual void rememberSetting(int entry, const QString& remembered)
    {
        (void)entry;
        (void)remembered;
    }

    /// Starts @p send and returns; @p done runs exactly once, later or before this returns.
    virtual void send(const NoticeSend& send, Notifiers::Done done) = 0;
    /// Ends run @p run if it is under way: its done reports it given up.
    virtual void abort(quint64 run) = 0;
};
