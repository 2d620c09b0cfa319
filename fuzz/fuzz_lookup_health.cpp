// The last lookup's file as a damaged or foreign file may leave it: what is accepted writes back the same bytes.
#include "app/LookupHealth.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    LookupHealth health;
    QString error;
    const bool valid = LookupHealth::parse(bytes, &health, &error);
    if (valid != error.isEmpty() ||
        (valid && (health.text().size() > 2 * LookupHealth::MaxBytes || health.status.contains(QLatin1Char('\n')))))
        __builtin_trap();
    return 0;
}
