// Netlink datagrams: whatever the socket delivers must be walked, and the address and route dumps read, without
// reading past its end.
#include "platform/linux/NetlinkMessages.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size heap copy, so that AddressSanitizer sees any read past the datagram.
    std::vector<char> copy(data, data + size);
    const NetlinkSummary summary = walkNetlinkMessages(copy.data(), copy.size());
    if (summary.messages < 0 || static_cast<size_t>(summary.messages) * 16 > size)
        __builtin_trap();
    NetlinkDump dump;
    readNetlinkDump(copy.data(), copy.size(), &dump);
    // Each address or route takes a message of its own of at least 16 + 8 bytes.
    if ((dump.addresses.size() + dump.routes.size()) * 24 > size)
        __builtin_trap();
    return 0;
}
