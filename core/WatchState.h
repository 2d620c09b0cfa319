#pragma once

#include "discovery/AddressLookup.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

/// Why a lookup found no address, told from the sources' own outcomes.
struct LookupProblem
{
    enum class Kind
    {
        None,
        NoSources,     ///< no usable source is set
        NoConnection,  ///< no source's server sent anything back
        BadAnswers,    ///< servers answered, but not with a public address of the family asked for
        TooFewAnswers, ///< good answers, but fewer servers agreed than the quorum asks for
        Disagreed,     ///< servers gave different addresses
    };
    Kind kind = Kind::None;
    QString details; ///< one line per source: what it said or why it failed

    /// Reads the outcome of the IPv4 lookup (the one that decides whether a lookup succeeded).
    static LookupProblem fromResult(const LookupResult& result);
    /// The status line: "Error: Connection not available." and the like.
    QString statusText() const;
    /// A short phrase for the state line and the tray tip: "no connection".
    QString shortText() const;

    bool operator==(const LookupProblem&) const = default;
};

/// What is true now, at a glance: when the addresses were last looked up, when they will be next, and
/// whether the addresses shown are current. The watcher keeps one and emits it whenever it changes.
struct WatchState
{
    enum class Condition
    {
        NotChecked,    ///< no lookup has ended yet
        Current,       ///< the last lookup succeeded and nothing waits to be announced
        NoticePending, ///< the addresses are current, but a notice failed and is tried again later
        Stale,         ///< the last lookup failed; the addresses shown are from an earlier one (asOf)
        Error,         ///< no lookup has succeeded yet
    };
    Condition condition = Condition::NotChecked;
    QDateTime lastChecked; ///< when the last lookup ended, successfully or not
    QDateTime asOf;        ///< when the addresses shown were found (the last successful lookup)
    QDateTime nextCheck;   ///< the next lookup of the refresh cycle; invalid when auto refresh is off
    LookupProblem problem; ///< why the last lookup failed (Stale and Error)
    QString pending;       ///< what is pending ("mail", "mail and web 2"), or ""

    /// One line: "Current", "Stale: no connection; addresses as of 12:04", "Error: sources disagree",
    /// "Notice pending: mail", "Not checked yet".
    QString headline() const;
    /// Whether the addresses shown are older than the last lookup (or none was ever found).
    bool addressesOutdated() const { return condition == Condition::Stale || condition == Condition::Error; }

    bool operator==(const WatchState&) const = default;
};

/// "12:04" for a time today, "7 Dec 12:04" for another day (local time).
QString clockText(const QDateTime& time, const QDateTime& now);
/// "just now", "1 min ago", "25 min ago", "3 h ago", "2 days ago".
QString agoText(const QDateTime& time, const QDateTime& now);

Q_DECLARE_METATYPE(WatchState)
