#pragma once

#include <QtGlobal>

namespace ProcessMemory {

/// The memory of this process that is resident in RAM, in KiB; 0 when the system does not tell.
qint64 residentKiB();

} // namespace ProcessMemory
