#pragma once

#include <QString>

#include <optional>

/// Text values under HKEY_CURRENT_USER, one REG_SZ each; the registry finds key and value names without regard
/// to case. @p key is a path below HKEY_CURRENT_USER ("Software\\Maker\\Program").
namespace Registry {

/// The root that Registry's paths are below, as people write it in front of them.
inline const QString CurrentUser = QStringLiteral("HKEY_CURRENT_USER\\");

/// The text of the value @p name; nothing when the key or the value does not exist or is no text. A value longer
/// than @p maxChars counts as missing.
std::optional<QString> readText(const QString& key, const QString& name, qsizetype maxChars = 1 << 20);

/// Makes the key (and those above it) and sets the value @p name to @p text as REG_SZ. False and @p error.
[[nodiscard]] bool writeText(const QString& key, const QString& name, const QString& text, QString* error);

/// Removes the value @p name; one that does not exist is no failure. False and @p error.
[[nodiscard]] bool removeValue(const QString& key, const QString& name, QString* error);

} // namespace Registry
