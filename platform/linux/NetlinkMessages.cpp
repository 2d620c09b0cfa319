#include "platform/linux/NetlinkMessages.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <cstring>

NetlinkSummary walkNetlinkMessages(const char* data, std::size_t size)
{
    NetlinkSummary summary;
    std::size_t offset = 0;
    while (size - offset >= sizeof(nlmsghdr)) {
        nlmsghdr header;
        std::memcpy(&header, data + offset, sizeof(header)); // the buffer need not be aligned
        const std::size_t length = header.nlmsg_len;
        if (length < sizeof(nlmsghdr) || length > size - offset) {
            summary.malformed = true;
            return summary;
        }
        ++summary.messages;
        switch (header.nlmsg_type) {
        case RTM_NEWADDR:
        case RTM_DELADDR:
        case RTM_NEWROUTE:
        case RTM_DELROUTE:
            summary.addressOrRoute = true;
            break;
        case NLMSG_ERROR:
            if (length >= NLMSG_LENGTH(sizeof(nlmsgerr))) {
                nlmsgerr error;
                std::memcpy(&error, data + offset + NLMSG_HDRLEN, sizeof(error));
                if (error.error == -ENOBUFS)
                    summary.overrun = true;
            }
            break;
        default:
            break;
        }
        // netlink(7): each message is padded to NLMSG_ALIGNTO; the last one may end without padding.
        const std::size_t step = NLMSG_ALIGN(length);
        if (step >= size - offset)
            return summary;
        offset += step;
    }
    // Bytes left over that cannot hold a header.
    summary.malformed = offset < size;
    return summary;
}
