#include "platform/DefaultGateway.h"

// In this order: each needs the one before (iphlpapi.h declares the routing table's functions after ws2ipdef.h).
#include <winsock2.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

#include <limits>

// The routing table's IPv4 default routes (prefix length 0); the one with the lowest metric that has a gateway.
QHostAddress defaultGatewayIPv4()
{
    PMIB_IPFORWARD_TABLE2 table = nullptr;
    if (GetIpForwardTable2(AF_INET, &table) != NO_ERROR)
        return {};
    QHostAddress best;
    ULONG bestMetric = std::numeric_limits<ULONG>::max();
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        const quint32 gateway = ntohl(row.NextHop.Ipv4.sin_addr.s_addr);
        if (row.DestinationPrefix.PrefixLength != 0 || row.NextHop.si_family != AF_INET || gateway == 0 ||
            row.Metric >= bestMetric)
            continue;
        bestMetric = row.Metric;
        best = QHostAddress(gateway);
    }
    FreeMibTable(table);
    return best;
}
