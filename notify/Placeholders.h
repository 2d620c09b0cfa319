#pragma once

#include <QList>
#include <QString>

#include <optional>

/// One placeholder name and the address that replaces it.
struct Placeholder
{
    enum class Address
    {
        Internal,
        External,
        ExternalIPv6,
    };
    QString name;
    Address address;
};

/// "$Internal$", "$External$" and "$ExternalIPv6$": program path, its arguments and the mail body.
QList<Placeholder> programPlaceholders();
/// The URL of the web notification: "$InternalIP$", "$ExternalIP$", "$ExternalIPv6$", and the program's
/// "$Internal$" and "$External$" as well (the configuration dialog has always named those).
QList<Placeholder> urlPlaceholders();
/// The names of @p placeholders for a caption: "$Internal$, $External$ and $ExternalIPv6$".
QString placeholderList(const QList<Placeholder>& placeholders);

/// @p text with every placeholder of @p names replaced by its address; the IPv6 one only when @p external6
/// is given. One pass from the start: at each "$" the name that matches there (without regard to letter case)
/// is replaced, and a replacement is never searched again. Every name ends in "$", so none is the start of
/// another: "$External$" can never take the front of "$ExternalIPv6$" or "$ExternalIP$".
QString substitutePlaceholders(const QString& text, const QList<Placeholder>& names, const QString& internal,
                               const QString& external, const std::optional<QString>& external6 = std::nullopt);
