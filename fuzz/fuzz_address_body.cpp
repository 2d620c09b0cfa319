// Address service bodies: whatever the server sends must yield an address or nothing.
#include "discovery/AddressBody.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto address = externalAddressFromBody(body)) {
        if (address->isEmpty() || !isIpAddressText(*address) || hostAddressFromText(*address).isNull())
            __builtin_trap();
    }
    return 0;
}
