#pragma once

#include <QFunctionPointer>
#include <QString>

/// The program's own modules: parts built as libraries of their own so that a run that does not use them never
/// loads them nor the big libraries they link (libmosquitto, ldns, Qt D-Bus and the keyring's). They are looked for
/// beside the executable, then where they are installed (relative to it), then, for an executable of the build
/// tree only, in the build folder.
namespace Modules {
/// The function named @p entry of module @p name (without the file name's ending), loading it the first time with
/// every symbol resolved, and keeping it loaded; null and @p error (which folders were tried and why) otherwise.
QFunctionPointer resolve(const char* name, const char* entry, QString* error);
} // namespace Modules
