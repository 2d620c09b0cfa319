// The stored retry schedule as a hand or a damaged file may leave it: reading never fails, every kept entry is
// in range, and what the program writes back reads back the same.
#include "core/PendingNotices.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const PendingNotices::Entries entries = PendingNotices::parse(text);
    for (const PendingNotices::Entry& entry : entries) {
        if (entry.failures < 0 || entry.failures > PendingNotices::MaxFailures ||
            (entry.failures > 0 && !entry.due.isValid()))
            __builtin_trap();
    }
    const QString written = PendingNotices::format(entries);
    if (written.size() > PendingNotices::MaxTextLength ||
        PendingNotices::format(PendingNotices::parse(written)) != written)
        __builtin_trap();
    return 0;
}
