#pragma once

#include "history/HistoryStore.h"

#include <QList>
#include <QString>

/// The history as text: the names of the kinds, how long an address lasted, and the two forms --history prints
/// (the History window exports the CSV one).
namespace HistoryText {
/// "Internal", "External", "External IPv6", "IPv6 prefix" (the names the watcher gives its changes), "?" for another
/// number.
QString kindName(int kind);
/// The kind named @p name, or -1.
int kindOf(const QString& name);
/// The time as ISO 8601 in UTC with milliseconds ("2026-12-07T09:30:00.000Z").
QString time(qint64 atMs);
/// "3 d 4 h", "5 h 2 min", "2 min 5 s", "40 s"; "" for none.
QString duration(std::optional<qint64> ms);
/// A header line and one line per entry: time, address, old, new, lasted in whole seconds (empty when not known).
QString csv(const QList<HistoryEntry>& entries);
/// The same in columns lined up with blanks, for people.
QString table(const QList<HistoryEntry>& entries);
/// @p text with control characters (a terminal's escapes) replaced by U+FFFD.
QString printable(const QString& text);
} // namespace HistoryText
