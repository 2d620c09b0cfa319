#include "app/AddressSourceSettings.h"

#include "app/Settings.h"
#include "discovery/SourceUri.h"

#include <QRegularExpression>

namespace {

// No URI holds a blank, so one blank between entries keeps the stored text readable and unambiguous.
QStringList splitUris(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.split(blanks, Qt::SkipEmptyParts);
}

// A marker no URI list can equal, to tell an absent key from a list the user emptied.
const QString Absent = QStringLiteral("\x01");

} // namespace

bool AddressSourceSettings::environmentOverrides()
{
    return addressSourcesFromEnvironment().has_value();
}

QStringList AddressSourceSettings::storedList(bool ipv6) const
{
    const QString stored = m_settings.read(QLatin1String(ipv6 ? IPv6Key : IPv4Key), Absent);
    if (stored == Absent)
        return ipv6 ? defaultAddress6Sources() : defaultAddressSources();
    return splitUris(stored);
}

void AddressSourceSettings::storeList(bool ipv6, const QStringList& uris)
{
    m_settings.write(QLatin1String(ipv6 ? IPv6Key : IPv4Key), uris.join(QLatin1Char(' ')));
}

QStringList AddressSourceSettings::ipv4Sources() const
{
    if (const std::optional<QStringList> listed = addressSourcesFromEnvironment())
        return *listed;
    return storedList(false);
}

QStringList AddressSourceSettings::ipv6Sources() const
{
    if (environmentOverrides())
        return splitUris(QString::fromUtf8(qgetenv("VISTREL_ADDRESS6_SOURCES")));
    return storedList(true);
}

int AddressSourceSettings::quorum() const
{
    return m_settings.readInt(QLatin1String(QuorumKey), DefaultQuorum, 1, 100);
}
