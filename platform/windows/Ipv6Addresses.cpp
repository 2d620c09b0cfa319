#include "platform/Ipv6Addresses.h"

// In this order: each needs the one before.
#include <winsock2.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

#include <limits>
#include <vector>

namespace {

// The interface of the IPv6 default route with the lowest metric; 0 when there is none.
NET_IFINDEX defaultRouteInterface()
{
    PMIB_IPFORWARD_TABLE2 table = nullptr;
    if (GetIpForwardTable2(AF_INET6, &table) != NO_ERROR)
        return 0;
    NET_IFINDEX best = 0;
    ULONG bestMetric = std::numeric_limits<ULONG>::max();
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        if (row.DestinationPrefix.PrefixLength != 0 || row.Metric >= bestMetric)
            continue;
        bestMetric = row.Metric;
        best = row.InterfaceIndex;
    }
    FreeMibTable(table);
    return best;
}

} // namespace

LocalIPv6 readLocalIPv6()
{
    LocalIPv6 local;
    const NET_IFINDEX index = defaultRouteInterface();
    if (index == 0)
        return local;
    // The list's size is only known by asking; it may grow between two calls.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        rc = GetAdaptersAddresses(AF_INET6, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                  nullptr, reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()), &size);
    }
    if (rc != NO_ERROR)
        return local;
    for (auto* adapter = reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()); adapter; adapter = adapter->Next) {
        if (adapter->Ipv6IfIndex != index)
            continue;
        for (PIP_ADAPTER_UNICAST_ADDRESS unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (!address || address->sa_family != AF_INET6)
                continue;
            AdapterAddressFields fields;
            fields.prefixOrigin = int(unicast->PrefixOrigin);
            fields.suffixOrigin = int(unicast->SuffixOrigin);
            fields.dadState = int(unicast->DadState);
            fields.prefixLength = unicast->OnLinkPrefixLength;
            fields.preferredSeconds = unicast->PreferredLifetime;
            InterfaceIPv6 own;
            own.address = QHostAddress(
                reinterpret_cast<const quint8*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr));
            own.prefixLength = fields.prefixLength;
            own.kind = Ipv6Addressing::kindFromAdapter(fields);
            own.preferredSeconds = fields.preferredSeconds;
            if (Ipv6Addressing::isGlobal(own.address))
                local.addresses.append(own);
        }
    }
    return local;
}
