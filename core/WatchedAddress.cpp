#include "core/WatchedAddress.h"

namespace {
const QString Stored = QStringLiteral("0");
const QString ShownIPv4 = QStringLiteral("000.000.000.000");
const QString ShownIPv6 = QStringLiteral("none");
} // namespace

WatchedAddress WatchedAddress::fromText(const QString& text)
{
    if (text == Stored || text == ShownIPv4 || text == ShownIPv6)
        return WatchedAddress();
    return WatchedAddress(text);
}

QString WatchedAddress::storedText() const
{
    return isNone() ? Stored : m_text;
}

QString WatchedAddress::shownText(Family family) const
{
    if (!isNone())
        return m_text;
    return family == Family::IPv4 ? ShownIPv4 : ShownIPv6;
}
