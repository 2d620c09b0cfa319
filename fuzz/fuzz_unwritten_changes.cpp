// The file of changes the history could not write yet, as a crash, a full disk or another program may leave it:
// whatever it holds, what is read stays within its bounds, and what is written again reads back the same.
#include "history/UnwrittenChanges.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<UnwrittenChanges::Change> changes = UnwrittenChanges::parse(bytes, 4);
    if (changes.size() > UnwrittenChanges::MaxChanges)
        __builtin_trap();
    for (const UnwrittenChanges::Change& change : changes) {
        if (change.kind < 0 || change.kind >= 4 || change.atMs < 0)
            __builtin_trap();
    }
    if (UnwrittenChanges::parse(UnwrittenChanges::format(changes), 4) != changes)
        __builtin_trap();
    return 0;
}
