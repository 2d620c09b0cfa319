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
        InternalIPv6, ///< the machine's own stable IPv6 address
        IPv6Prefix,   ///< its prefix, "2001:db8:1:2::/64"
    };
    QString name;
    Address address;
};

/// The machine's own IPv6 addresses, "none" without them.
struct OwnIPv6
{
    QString internal6 = QStringLiteral("none");
    QString prefix6 = QStringLiteral("none");
};

/// "$Internal$", "$External$", "$ExternalIPv6$", "$InternalIPv6$" and "$IPv6Prefix$": program path, its arguments
/// and the mail body.
QList<Placeholder> programPlaceholders();
/// The URL of the web notification: "$InternalIP$", "$ExternalIP$", the three IPv6 ones, and the program's
/// "$Internal$" and "$External$" as well (the configuration dialog has always named those).
QList<Placeholder> urlPlaceholders();
/// The names of @p placeholders for a caption: "$Internal$, $External$ and $ExternalIPv6$".
QString placeholderList(const QList<Placeholder>& placeholders);

/// @p text with every placeholder of @p names replaced by its address; the public IPv6 one only when @p external6
/// is given. One pass from the start: at each "$" the name that matches there (without regard to letter case)
/// is replaced, and a replacement is never searched again. Every name ends in "$", so none is the start of
/// another: "$External$" can never take the front of "$ExternalIPv6$" or "$ExternalIP$".
QString substitutePlaceholders(const QString& text, const QList<Placeholder>& names, const QString& internal,
                               const QString& external, const std::optional<QString>& external6 = std::nullopt,
                               const OwnIPv6& own6 = {});
