#pragma once

#include <cstddef>

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
