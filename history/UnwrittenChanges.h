#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/// Changes the history could not write to its database yet (another process held it), kept in a small file beside
/// it until they are written, also across runs: one line per change, oldest first, "<ms> <kind> <old> <new>", the
/// two addresses percent-encoded so that a line holds no blank, control character or line break of theirs.
namespace UnwrittenChanges {

struct Change
{
    qint64 atMs = 0;
    int kind = 0;
    QString before;
    QString after;

    bool operator==(const Change&) const = default;
};

/// Changes kept at most; beyond them the oldest go.
constexpr qsizetype MaxChanges = 1000;
/// The longest line read; a longer one is no change.
constexpr qsizetype MaxLineBytes = 1024;
/// The most of a file that is read.
constexpr qsizetype MaxFileBytes = MaxChanges * (MaxLineBytes + 1);

/// The file's bytes for @p changes.
QByteArray format(const QList<Change>& changes);
/// The changes in @p bytes, oldest first, their kinds below @p kindCount: a line that is not exactly one change is
/// skipped, and only the newest MaxChanges are kept.
QList<Change> parse(const QByteArray& bytes, int kindCount);

} // namespace UnwrittenChanges
