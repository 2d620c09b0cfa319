#pragma once

/// Hands this process over to another executable of the program.
namespace HandOver {

/// Replaces this process with the executable @p name in the folder of this process's own executable, with the
/// arguments @p argv (argv[0] first, null-terminated). Returns only when that cannot be done.
void toSibling(const char* name, char** argv);

} // namespace HandOver
