#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

/// One IPv6 address of an interface and what the system says of it.
struct InterfaceIPv6
{
    enum class Kind
    {
        Stable,     ///< formed from the interface (EUI-64, a stable privacy identifier) or set by hand or DHCPv6
        Temporary,  ///< a privacy address that the system replaces every day or so (RFC 8981)
        Deprecated, ///< still valid, no longer used for new connections (its prefix is being withdrawn)
        Tentative,  ///< duplicate address detection has not ended, or failed
    };
    QHostAddress address;
    int prefixLength = 64;
    Kind kind = Kind::Stable;
    std::uint32_t preferredSeconds = UINT32_MAX; ///< how long it stays preferred; UINT32_MAX: for ever

    bool operator==(const InterfaceIPv6&) const = default;
};

/// The fields the Windows adapter list gives an address (IP_ADAPTER_UNICAST_ADDRESS), with the values Windows
/// documents for them; kept here so that the classification is one portable function that both systems test.
struct AdapterAddressFields
{
    enum PrefixOrigin
    {
        PrefixOther = 0,
        PrefixManual = 1,
        PrefixWellKnown = 2,
        PrefixDhcp = 3,
        PrefixRouterAdvertisement = 4,
    };
    enum SuffixOrigin
    {
        SuffixOther = 0,
        SuffixManual = 1,
        SuffixWellKnown = 2,
        SuffixDhcp = 3,
        SuffixLinkLayerAddress = 4,
        SuffixRandom = 5,
    };
    enum DadState
    {
        DadInvalid = 0,
        DadTentative = 1,
        DadDuplicate = 2,
        DadDeprecated = 3,
        DadPreferred = 4,
    };
    int prefixOrigin = PrefixOther;
    int suffixOrigin = SuffixOther;
    int dadState = DadPreferred;
    int prefixLength = 64;
    std::uint32_t preferredSeconds = UINT32_MAX;
};

/// The machine's own IPv6 addresses: the global ones of the interface the IPv6 default route goes through.
/// Read from the system (netlink on Linux, the adapter list on Windows); empty without a default route.
struct LocalIPv6
{
    QList<InterfaceIPv6> addresses;

    /// The address other hosts should reach this machine at: a global stable one (preferred before deprecated,
    /// the longest preferred lifetime first: during a renumbering the new prefix's); none when there is none.
    std::optional<InterfaceIPv6> stable() const;
    /// The kind of @p address when it is one of these; none otherwise.
    std::optional<InterfaceIPv6::Kind> kindOf(const QHostAddress& address) const;
};

/// Reads the machine's own IPv6 addresses (implemented in the system's folder).
LocalIPv6 readLocalIPv6();

namespace Ipv6Addressing {
/// Whether @p address is a global unicast address (2000::/3): what a prefix from a provider is.
bool isGlobal(const QHostAddress& address);
/// What the Windows adapter list's fields say of an address: a random suffix from a router's prefix is a temporary
/// address, one whose DAD state is deprecated is deprecated, tentative or duplicate is tentative.
InterfaceIPv6::Kind kindFromAdapter(const AdapterAddressFields& fields);
/// The prefix of @p address, its first @p length bits with the others zero, as "2001:db8:1:2::/64"; "" for a bad
/// length or an address that is not IPv6.
QString prefixText(const QHostAddress& address, int length);
/// The interface identifier @p text names, as the last 64 bits: an IPv6 address's last 64 bits ("::10",
/// "::1:2:3:4") or a MAC address ("aa:bb:cc:dd:ee:ff", "aa-bb-cc-dd-ee-ff") made into a modified EUI-64
/// (RFC 4291 appendix A); none for anything else.
std::optional<std::uint64_t> interfaceIdentifier(const QString& text);
/// The address of the host with interface identifier @p identifier (see interfaceIdentifier) in @p prefix
/// ("2001:db8:1:2::/64"); a null address when either is bad or the prefix is longer than 64 bits.
QHostAddress withInterfaceIdentifier(const QString& prefix, const QString& identifier);
} // namespace Ipv6Addressing
