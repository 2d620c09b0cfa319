#include "nettools/clsIPResolve.h"

#include "discovery/AddressBody.h"
#include "nettools/NetToolsLog.h"
#include "platform/HostNames.h"
#include "platform/OutsideText.h"

#include <QStringList>

QString clsIPResolve::AddressToName(const QString& strIP) const
{
    return LookupName(strIP);
}

QString clsIPResolve::NameToAddress(const QString& strName) const
{
    return LookupAddress(strName);
}

bool clsIPResolve::IsIPAddress(const QString& text)
{
    return isDottedQuad(text);
}

std::optional<std::array<std::uint8_t, 4>> clsIPResolve::IPToLong(const QString& text)
{
    if (!IsIPAddress(text))
        return std::nullopt;
    const QStringList parts = text.split(QLatin1Char('.'));
    std::array<std::uint8_t, 4> bytes{};
    for (int i = 0; i < 4; ++i)
        bytes[std::size_t(i)] = std::uint8_t(parts.at(i).toUInt());
    return bytes;
}

QByteArray clsIPResolve::TrimAtNull(const QByteArray& name)
{
    const qsizetype nul = name.indexOf('\0');
    const QByteArray cut = nul >= 0 ? name.left(nul) : name;
    return cut.left(MaxHostNameLength);
}

QString clsIPResolve::LookupName(const QString& strIP)
{
    const auto bytes = IPToLong(strIP);
    if (!bytes) {
        qCDebug(lcNetTools) << "not an IPv4 address, no look-up:" << strIP;
        return QString();
    }
    QString error;
    const std::optional<QByteArray> host = HostNames::nameOf(*bytes, &error);
    if (!host) {
        qCDebug(lcNetTools) << "no name for" << strIP << ":" << error;
        return QString();
    }
    return OutsideText::line(TrimAtNull(*host), MaxHostNameLength);
}

QString clsIPResolve::LookupAddress(const QString& strName)
{
    const QByteArray name = strName.toUtf8();
    // A NUL would silently end the name early: such text names nothing.
    if (name.contains('\0'))
        return QString();
    QString error;
    const std::optional<HostNames::IPv4> found = HostNames::addressOf(name, &error);
    if (!found) {
        if (!error.isEmpty())
            qCDebug(lcNetTools) << "no address for" << strName << ":" << error;
        return QString();
    }
    const HostNames::IPv4& b = *found;
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}
