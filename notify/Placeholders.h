#pragma once

#include <QString>

#include <optional>

/// The placeholder pairs of the notifiers.
struct PlaceholderNames
{
    QString internal;
    QString external;
    QString external6 = QStringLiteral("$ExternalIPv6$");  // the same in every notification
};

/// "$Internal$" and "$External$": program path, its arguments and the mail body.
PlaceholderNames programPlaceholders();
/// "$InternalIP$" and "$ExternalIP$": the URL of the web notification.
PlaceholderNames urlPlaceholders();

/// @p text with every occurrence of the IPv6 placeholder replaced by @p external6 (when given), then
/// the internal placeholder by @p internal, then the external one by @p external. Occurrences are found
/// from the start without regard to letter case, do not overlap, and a replacement is never searched
/// again (no address holds a "$").
QString substitutePlaceholders(const QString& text, const PlaceholderNames& names, const QString& internal,
                               const QString& external, const std::optional<QString>& external6 = std::nullopt);
