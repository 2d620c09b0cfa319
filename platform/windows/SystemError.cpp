#include "platform/windows/SystemError.h"

#include <windows.h>

QString systemErrorText(long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, DWORD(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text =
        length ? QString::fromWCharArray(buffer, int(length)).trimmed() : QStringLiteral("error %1").arg(code);
    LocalFree(buffer);
    return text;
}
