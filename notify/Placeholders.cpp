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
                               const QString& external)
{
    // QString::replace scans left to right and resumes after each replacement, so the inserted
    // address is never searched again.
    QString out = text;
    out.replace(names.internal, internal, Qt::CaseInsensitive);
    out.replace(names.external, external, Qt::CaseInsensitive);
    return out;
}
