#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

/// What one datagram read from a NETLINK_ROUTE socket says, walked with bounds checks: the kernel's
/// bytes are trusted no further than their own length fields allow.
struct NetlinkSummary
{
    int messages = 0;            ///< whole messages walked
    bool addressOrRoute = false; ///< at least one RTM_NEWADDR, RTM_DELADDR, RTM_NEWROUTE or RTM_DELROUTE
    bool overrun = false;        ///< the socket's buffer overflowed (NLMSG_ERROR ENOBUFS): changes were lost
    bool malformed = false;      ///< a length field below the header size or past the datagram's end
};

/// Walks the netlink messages in @p data. Stops at the first malformed header; what came before counts.
NetlinkSummary walkNetlinkMessages(const char* data, std::size_t size);

/// One IPv6 address of an RTM_NEWADDR message.
struct NetlinkAddress6
{
    int interfaceIndex = 0;
    std::array<std::uint8_t, 16> address{};
    int prefixLength = 0;
    int scope = 0;                               ///< RT_SCOPE_UNIVERSE (0) for a global address
    std::uint32_t flags = 0;                     ///< IFA_F_*, the 32-bit IFA_FLAGS where the kernel sends it
    std::uint32_t preferredSeconds = UINT32_MAX; ///< from IFA_CACHEINFO; UINT32_MAX: for ever
};

/// One IPv6 unicast route of the main table through an interface, from an RTM_NEWROUTE message.
struct NetlinkRoute6
{
    int interfaceIndex = 0;
    std::uint32_t priority = 0; ///< the metric: the lowest wins
    std::array<std::uint8_t, 16> destination{};
    int destinationLength = 0; ///< 0: a default route
};

/// What the answers to an RTM_GETADDR or RTM_GETROUTE dump of the IPv6 family held so far.
struct NetlinkDump
{
    std::vector<NetlinkAddress6> addresses;
    std::vector<NetlinkRoute6> routes;
    bool done = false;      ///< NLMSG_DONE or an NLMSG_ERROR ended the dump
    bool malformed = false; ///< a message or attribute whose length does not fit: what came before counts
    int error = 0;          ///< the errno of an NLMSG_ERROR that ended it
};

/// Adds what the datagram @p data holds to @p dump: IPv6 addresses and IPv6 routes; other messages and
/// attributes are skipped. Every length is checked against what is left of the datagram.
void readNetlinkDump(const char* data, std::size_t size, NetlinkDump* dump);
