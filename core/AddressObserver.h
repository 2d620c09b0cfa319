#pragma once

#include "discovery/AddressLookup.h"

#include <QObject>

#include <functional>
#include <optional>

class Settings;

/// What one lookup of both address families saw.
struct AddressObservation
{
    LookupResult ipv4;
    LookupResult ipv6; ///< NoSources when none is set or the machine has no IPv6 route
};

/// The lookup of both address families at once, from the sources in the store: one observation when both
/// have ended.
class AddressObserver : public QObject
{
    Q_OBJECT
public:
    explicit AddressObserver(Settings& settings, QObject* parent = nullptr);

    /// Whether the machine can reach the IPv6 internet; without a route the IPv6 sources are not asked.
    void setIPv6RouteProbe(std::function<bool()> probe) { m_ipv6Route = std::move(probe); }

    /// Asks both families' sources; returns at once. The caller starts no other before observed().
    void start();
    /// Ends the lookups under way; nothing is observed.
    void cancel();

signals:
    void observed(const AddressObservation& observation);

private:
    void familyDone();

    Settings& m_settings;
    std::function<bool()> m_ipv6Route;
    AddressLookup m_lookup4;
    AddressLookup m_lookup6;
    std::optional<LookupResult> m_result4;
    std::optional<LookupResult> m_result6; // nothing while the IPv6 lookup runs
};
