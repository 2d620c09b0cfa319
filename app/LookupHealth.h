#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class AddressWatcher;
class StatusLog;

/// Whether the headless watcher's last lookup succeeded, kept in a small file beside the history so that --health
/// (a container's health check) can answer from another process. The file is one line, replaced whole after every
/// lookup: "ok <UTC time>" or "failed <UTC time> <the status that said why>".
struct LookupHealth
{
    bool ok = false;
    QDateTime at;
    QString status;

    /// The file beside the history file @p historyPath: "last-lookup" for "history.sqlite", "<settings>.last-lookup"
    /// for "<settings>.history.sqlite".
    static QString pathFor(const QString& historyPath);

    /// The line as written.
    QByteArray text() const;
    /// Reads one line as text() writes it; anything else (another word, a bad time, more than one line, more than
    /// MaxBytes) is false with @p error.
    [[nodiscard]] static bool parse(const QByteArray& bytes, LookupHealth* health, QString* error);
    static constexpr qsizetype MaxBytes = 1024;

    /// --health: one line on standard output; 0 when the last lookup recorded at @p path succeeded less than
    /// @p maxAgeSeconds ago, 1 otherwise (failed, too old: a watcher that hangs or has stopped looks up no more; none
    /// recorded yet, or a file that cannot be read).
    static int report(const QString& path, qint64 maxAgeSeconds);
    /// The age beyond which a watcher that looks up every @p intervalSeconds is taken to have stopped: two intervals
    /// with their jitter, and time for a slow lookup.
    static qint64 maxAgeFor(int intervalSeconds);

    /// Records the end of every lookup of @p watcher at @p path; a file that cannot be written is said on @p log
    /// once, until it can be again.
    static void record(AddressWatcher& watcher, const QString& path, StatusLog& log);
};
