#pragma once

#include <QString>

/// What this process may do with files, as the operating system decides it (permissions, read-only mounts, full
/// disks), asked without changing anything.
namespace FileAccess {

/// Whether this process may write the existing file @p path.
[[nodiscard]] bool mayWrite(const QString& path);

/// Whether this process may make and rename files in the folder @p folder.
[[nodiscard]] bool mayCreateIn(const QString& folder);

/// Whether the file system that holds @p folder has no room (space or file entries) left for an ordinary user.
[[nodiscard]] bool isFull(const QString& folder);

} // namespace FileAccess
