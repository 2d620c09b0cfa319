#include "core/AddressSourceSettings.h"

#include "core/Settings.h"
#include "discovery/SourceUri.h"

#include <QRegularExpression>

namespace {

// No URI holds a blank, so one blank between entries keeps the stored text readable and unambiguous.
QStringList splitUris(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.split(blanks, Qt::SkipEmptyParts);
}

} // namespace

bool AddressSourceSettings::environmentOverrides()
{
    return addressSourcesFromEnvironment().has_value();
}

QStringList AddressSourceSettings::storedList(bool ipv6) const
{
    const std::optional<QString> stored = m_settings.stored(ipv6 ? Key::Address6Sources : Key::AddressSources);
    if (!stored)
        return ipv6 ? defaultAddress6Sources() : defaultAddressSources();
    return splitUris(*stored);
}

void AddressSourceSettings::storeList(bool ipv6, const QStringList& uris)
{
    m_settings.write(ipv6 ? Key::Address6Sources : Key::AddressSources, uris.join(QLatin1Char(' ')));
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
    return m_settings.readInt(Key::AddressQuorum);
}
