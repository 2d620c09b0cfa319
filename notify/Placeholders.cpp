#include "notify/Placeholders.h"

#include <QStringList>

namespace {
const QString Internal = QStringLiteral("$Internal$");
const QString External = QStringLiteral("$External$");
const QString ExternalIPv6 = QStringLiteral("$ExternalIPv6$");
const QString InternalIPv6 = QStringLiteral("$InternalIPv6$");
const QString IPv6Prefix = QStringLiteral("$IPv6Prefix$");
} // namespace

QList<Placeholder> programPlaceholders()
{
    return {{Internal, Placeholder::Address::Internal},
            {External, Placeholder::Address::External},
            {ExternalIPv6, Placeholder::Address::ExternalIPv6},
            {InternalIPv6, Placeholder::Address::InternalIPv6},
            {IPv6Prefix, Placeholder::Address::IPv6Prefix}};
}

QList<Placeholder> urlPlaceholders()
{
    return {{QStringLiteral("$InternalIP$"), Placeholder::Address::Internal},
            {QStringLiteral("$ExternalIP$"), Placeholder::Address::External},
            {Internal, Placeholder::Address::Internal},
            {External, Placeholder::Address::External},
            {ExternalIPv6, Placeholder::Address::ExternalIPv6},
            {InternalIPv6, Placeholder::Address::InternalIPv6},
            {IPv6Prefix, Placeholder::Address::IPv6Prefix}};
}

QString placeholderList(const QList<Placeholder>& placeholders)
{
    QStringList names;
    for (const Placeholder& placeholder : placeholders)
        names.append(placeholder.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString substitutePlaceholders(const QString& text, const QList<Placeholder>& names, const QString& internal,
                               const QString& external, const std::optional<QString>& external6, const OwnIPv6& own6)
{
    const auto value = [&](Placeholder::Address address) -> std::optional<QString> {
        switch (address) {
        case Placeholder::Address::Internal:
            return internal;
        case Placeholder::Address::External:
            return external;
        case Placeholder::Address::ExternalIPv6:
            return external6;
        case Placeholder::Address::InternalIPv6:
            return own6.internal6;
        case Placeholder::Address::IPv6Prefix:
            return own6.prefix6;
        }
        return std::nullopt;
    };
    const auto placeholderAt = [&](qsizetype i) -> const Placeholder* {
        if (text[i] != u'$')
            return nullptr;
        for (const Placeholder& placeholder : names) {
            if (value(placeholder.address) &&
                QStringView(text).mid(i).startsWith(placeholder.name, Qt::CaseInsensitive))
                return &placeholder;
        }
        return nullptr;
    };
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (const Placeholder* placeholder = placeholderAt(i)) {
            out += *value(placeholder->address);
            i += placeholder->name.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}
