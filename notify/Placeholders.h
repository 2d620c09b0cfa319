#pragma once

#include <QString>

/// The placeholder pairs of the notifiers.
struct PlaceholderNames
{
    QString internal;
    QString external;
};

/// "$Internal$" and "$External$": program path, its arguments and the mail body.
PlaceholderNames programPlaceholders();
/// "$InternalIP$" and "$ExternalIP$": the URL of the web notification.
PlaceholderNames urlPlaceholders();

/// @p text with every occurrence of the internal placeholder replaced by @p internal, then every
/// occurrence of the external one by @p external. Occurrences are found from the start without regard
/// to letter case, do not overlap, and a replacement is never searched again.
QString substitutePlaceholders(const QString& text, const PlaceholderNames& names, const QString& internal,
                               const QString& external);
