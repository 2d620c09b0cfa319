#pragma once

#include <QStringList>

class Settings;

/// Where the lookup's source lists come from. The stored lists (`addressSources`, `address6Sources`,
/// URIs separated by blanks) replace the defaults when present, even empty. The environment wins
/// over both: VISTREL_ADDRESS_SOURCES (URIs separated by white space) or VISTREL_ADDRESS_URL (one
/// URL) replace the IPv4 list, and then the IPv6 list is VISTREL_ADDRESS6_SOURCES, empty when that
/// is unset, so that a test or a self-hoster's setup never reaches a public service unasked.
class AddressSourceSettings
{
public:
    explicit AddressSourceSettings(Settings& settings) : m_settings(settings) {}

    QStringList ipv4Sources() const;
    QStringList ipv6Sources() const;
    int quorum() const;

    /// Whether the environment decides the lists (the dialog then says so and edits the store only).
    static bool environmentOverrides();

    /// The stored list, or the default when none is stored; what the dialog edits.
    QStringList storedList(bool ipv6) const;
    void storeList(bool ipv6, const QStringList& uris);

private:
    Settings& m_settings;
};
