#include "notify/Placeholders.h"

PlaceholderNames programPlaceholders()
{
    return {QStringLiteral("$Internal$"), QStringLiteral("$External$")};
}

PlaceholderNames urlPlaceholders()
{
    return {QStringLiteral("$InternalIP$"), QStringLiteral("$ExternalIP$")};
}

QString substitutePlaceholders(const QString& text, const PlaceholderNames& names, const QString& internal,
                               const QString& external, const std::optional<QString>& external6)
{
    // QString::replace scans left to right and resumes after each replacement, so the inserted
    // address is never searched again. The IPv6 name goes first: "$ExternalIPv6$" must not be read
    // as some shorter name followed by text.
    QString out = text;
    if (external6)
        out.replace(names.external6, *external6, Qt::CaseInsensitive);
    out.replace(names.internal, internal, Qt::CaseInsensitive);
    out.replace(names.external, external, Qt::CaseInsensitive);
    return out;
}
