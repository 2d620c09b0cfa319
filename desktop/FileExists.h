#pragma once

#include <QString>

/// The file test of the help window (module xfileExists).
///
/// True when the folder of @p path holds an ordinary file whose name equals the name part of @p path,
/// letters compared without regard to case. Hidden files (names beginning with "."), folders and
/// anything that cannot be searched (a missing folder, an empty path) do not count.
bool FileExists(const QString& path);

/// The path of the file that FileExists() finds, with the name as it is on disk, or the empty text.
QString findExistingFile(const QString& path);
