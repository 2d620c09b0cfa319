#include "platform/Ipv6Addresses.h"

#include "platform/linux/NetlinkMessages.h"

#include <QLoggingCategory>

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcIpv6Addresses, "vistrel.ipv6addresses", QtInfoMsg)

namespace {

// One dump of @p type (RTM_GETADDR, RTM_GETROUTE) of the IPv6 family over a socket of its own: rtnetlink(7).
bool dump(int type, NetlinkDump* out)
{
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return false;
    const timeval timeout{1, 0}; // the kernel answers at once; this only bounds a surprise
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    struct
    {
        nlmsghdr header;
        rtgenmsg body;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtgenmsg));
    request.header.nlmsg_type = std::uint16_t(type);
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.body.rtgen_family = AF_INET6;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    bool ok = ::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                       sizeof(kernel)) == ssize_t(request.header.nlmsg_len);
    alignas(nlmsghdr) char buffer[32768];
    while (ok && !out->done && !out->malformed) {
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
        if (got < 0 && errno == EINTR)
            continue;
        ok = got > 0;
        if (ok)
            readNetlinkDump(buffer, std::size_t(got), out);
    }
    ::close(fd);
    if (out->malformed)
        qCWarning(lcIpv6Addresses) << "malformed netlink answer to dump" << type;
    return ok && out->done && out->error == 0;
}

constexpr int LoopbackIndex = 1; // the kernel gives "lo" this index in every namespace

// An address of length 128 (one DHCPv6 gave) has its prefix in the on-link route that holds it: the longest of its
// interface; 64 without one.
int onLinkLength(const std::vector<NetlinkRoute6>& routes, const NetlinkAddress6& address)
{
    int length = 64;
    int longest = 0;
    for (const NetlinkRoute6& route : routes) {
        if (route.interfaceIndex != address.interfaceIndex || route.destinationLength == 0 ||
            route.destinationLength >= 128 || route.destinationLength <= longest)
            continue;
        const QString network =
            Ipv6Addressing::prefixText(QHostAddress(route.destination.data()), route.destinationLength);
        if (Ipv6Addressing::prefixText(QHostAddress(address.address.data()), route.destinationLength) == network)
            longest = length = route.destinationLength;
    }
    return length;
}

InterfaceIPv6::Kind kindOf(std::uint32_t flags, std::uint32_t preferredSeconds)
{
    if (flags & (IFA_F_TENTATIVE | IFA_F_DADFAILED | IFA_F_OPTIMISTIC))
        return InterfaceIPv6::Kind::Tentative;
    if ((flags & IFA_F_DEPRECATED) || preferredSeconds == 0)
        return InterfaceIPv6::Kind::Deprecated;
    if (flags & IFA_F_TEMPORARY)
        return InterfaceIPv6::Kind::Temporary;
    return InterfaceIPv6::Kind::Stable;
}

} // namespace

LocalIPv6 readLocalIPv6()
{
    LocalIPv6 local;
    NetlinkDump routes;
    if (!dump(RTM_GETROUTE, &routes))
        return local;
    // The default route with the lowest metric; one over the loopback device (a test's namespace) leads nowhere.
    const NetlinkRoute6* best = nullptr;
    for (const NetlinkRoute6& route : routes.routes) {
        if (route.destinationLength == 0 && route.interfaceIndex != LoopbackIndex &&
            (!best || route.priority < best->priority))
            best = &route;
    }
    NetlinkDump addresses;
    if (!best || !dump(RTM_GETADDR, &addresses))
        return local;
    for (const NetlinkAddress6& address : addresses.addresses) {
        if (address.interfaceIndex != best->interfaceIndex || address.scope != RT_SCOPE_UNIVERSE)
            continue;
        InterfaceIPv6 own;
        own.address = QHostAddress(address.address.data());
        own.prefixLength = address.prefixLength == 128 ? onLinkLength(routes.routes, address) : address.prefixLength;
        own.kind = kindOf(address.flags, address.preferredSeconds);
        own.preferredSeconds = address.preferredSeconds;
        local.addresses.append(own);
    }
    return local;
}
