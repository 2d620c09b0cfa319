#include "platform/ProcessMemory.h"

#include <windows.h>

#include <psapi.h> // after windows.h, which it needs

qint64 ProcessMemory::residentKiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return qint64(counters.WorkingSetSize / 1024); // the working set: the pages resident in RAM
}
