#include "platform/linux/NetlinkMessages.h"

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace {

// Calls @p each with every whole message of @p data (its header, its payload and the payload's size); false when
// a header's length does not fit.
bool forEachMessage(const char* data, std::size_t size,
                    const std::function<void(const nlmsghdr&, const char*, std::size_t)>& each)
{
    std::size_t offset = 0;
    while (size - offset >= sizeof(nlmsghdr)) {
        nlmsghdr header;
        std::memcpy(&header, data + offset, sizeof(header)); // the buffer need not be aligned
        const std::size_t length = header.nlmsg_len;
        if (length < sizeof(nlmsghdr) || length > size - offset)
            return false;
        each(header, data + offset + NLMSG_HDRLEN, length - std::min<std::size_t>(length, NLMSG_HDRLEN));
        // netlink(7): each message is padded to NLMSG_ALIGNTO; the last one may end without padding.
        const std::size_t step = NLMSG_ALIGN(length);
        if (step >= size - offset)
            return true;
        offset += step;
    }
    // Bytes left over that cannot hold a header.
    return offset == size;
}

// Calls @p each with every attribute (type, value, value size) after the fixed part of @p fixed bytes of a
// message's payload; false when an attribute's length does not fit.
bool forEachAttribute(const char* payload, std::size_t size, std::size_t fixed,
                      const std::function<void(unsigned, const char*, std::size_t)>& each)
{
    std::size_t offset = NLMSG_ALIGN(fixed);
    if (fixed > size)
        return false;
    while (offset < size && size - offset >= sizeof(rtattr)) {
        rtattr attribute;
        std::memcpy(&attribute, payload + offset, sizeof(attribute));
        const std::size_t length = attribute.rta_len;
        if (length < sizeof(rtattr) || length > size - offset)
            return false;
        each(attribute.rta_type, payload + offset + RTA_LENGTH(0), length - RTA_LENGTH(0));
        offset += RTA_ALIGN(length);
    }
    return true;
}

std::uint32_t u32(const char* value)
{
    std::uint32_t out;
    std::memcpy(&out, value, sizeof(out));
    return out;
}

} // namespace

NetlinkSummary walkNetlinkMessages(const char* data, std::size_t size)
{
    NetlinkSummary summary;
    summary.malformed =
        !forEachMessage(data, size, [&summary](const nlmsghdr& header, const char* payload, std::size_t payloadSize) {
            ++summary.messages;
            switch (header.nlmsg_type) {
            case RTM_NEWADDR:
            case RTM_DELADDR:
            case RTM_NEWROUTE:
            case RTM_DELROUTE:
                summary.addressOrRoute = true;
                break;
            case NLMSG_ERROR:
                if (payloadSize >= sizeof(nlmsgerr)) {
                    nlmsgerr error;
                    std::memcpy(&error, payload, sizeof(error));
                    if (error.error == -ENOBUFS)
                        summary.overrun = true;
                }
                break;
            default:
                break;
            }
        });
    return summary;
}

namespace {

bool readAddress(const char* payload, std::size_t size, NetlinkDump* dump)
{
    if (size < sizeof(ifaddrmsg))
        return false;
    ifaddrmsg message;
    std::memcpy(&message, payload, sizeof(message));
    if (message.ifa_family != AF_INET6)
        return true;
    NetlinkAddress6 address;
    address.interfaceIndex = int(message.ifa_index);
    address.prefixLength = message.ifa_prefixlen;
    address.scope = message.ifa_scope;
    address.flags = message.ifa_flags;
    bool hasAddress = false;
    const bool ok =
        forEachAttribute(payload, size, sizeof(ifaddrmsg), [&](unsigned type, const char* value, std::size_t length) {
            if ((type == IFA_ADDRESS || (type == IFA_LOCAL && !hasAddress)) && length == address.address.size()) {
                std::memcpy(address.address.data(), value, length);
                hasAddress = true;
            } else if (type == IFA_FLAGS && length >= sizeof(std::uint32_t)) {
                address.flags = u32(value);
            } else if (type == IFA_CACHEINFO && length >= sizeof(ifa_cacheinfo)) {
                ifa_cacheinfo info;
                std::memcpy(&info, value, sizeof(info));
                address.preferredSeconds = info.ifa_prefered;
            }
        });
    if (ok && hasAddress)
        dump->addresses.push_back(address);
    return ok;
}

bool readRoute(const char* payload, std::size_t size, NetlinkDump* dump)
{
    if (size < sizeof(rtmsg))
        return false;
    rtmsg message;
    std::memcpy(&message, payload, sizeof(message));
    if (message.rtm_family != AF_INET6 || message.rtm_type != RTN_UNICAST || message.rtm_dst_len > 128)
        return true;
    NetlinkRoute6 route;
    route.destinationLength = message.rtm_dst_len;
    std::uint32_t table = message.rtm_table;
    const bool ok =
        forEachAttribute(payload, size, sizeof(rtmsg), [&](unsigned type, const char* value, std::size_t length) {
            if (type == RTA_DST && length == route.destination.size())
                std::memcpy(route.destination.data(), value, length);
            if (length < sizeof(std::uint32_t))
                return;
            if (type == RTA_OIF)
                route.interfaceIndex = int(u32(value));
            else if (type == RTA_PRIORITY)
                route.priority = u32(value);
            else if (type == RTA_TABLE)
                table = u32(value);
        });
    if (ok && table == RT_TABLE_MAIN && route.interfaceIndex > 0)
        dump->routes.push_back(route);
    return ok;
}

} // namespace

void readNetlinkDump(const char* data, std::size_t size, NetlinkDump* dump)
{
    const bool whole =
        forEachMessage(data, size, [dump](const nlmsghdr& header, const char* payload, std::size_t payloadSize) {
            if (dump->done || dump->malformed)
                return;
            switch (header.nlmsg_type) {
            case NLMSG_DONE:
                dump->done = true;
                break;
            case NLMSG_ERROR:
                dump->done = true;
                if (payloadSize >= sizeof(int)) {
                    int error;
                    std::memcpy(&error, payload, sizeof(error));
                    dump->error = -error;
                }
                break;
            case RTM_NEWADDR:
                dump->malformed = !readAddress(payload, payloadSize, dump);
                break;
            case RTM_NEWROUTE:
                dump->malformed = !readRoute(payload, payloadSize, dump);
                break;
            default:
                break;
            }
        });
    dump->malformed = dump->malformed || !whole;
}
