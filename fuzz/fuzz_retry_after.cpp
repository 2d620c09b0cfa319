// Retry-After header values: whatever the server sends is a wait of 0 to 86,400 s, or nothing.
#include "discovery/RetryAfter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray value(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QDateTime now = QDateTime::fromSecsSinceEpoch(1'796'000'000, Qt::UTC);
    if (const auto seconds = retryAfterSeconds(value, now); seconds && (*seconds < 0 || *seconds > 86'400))
        __builtin_trap();
    return 0;
}
