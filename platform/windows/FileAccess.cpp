#include "platform/FileAccess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <windows.h>

// Windows decides access by the file's access list, which no call answers as simply as access(2) does: the
// honest answer is to open for writing (without changing anything) and to make a file in the folder.

bool FileAccess::mayWrite(const QString& path)
{
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                                    GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION; // in use, but ours to write
    CloseHandle(file);
    return true;
}

bool FileAccess::mayCreateIn(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("write-probe-XXXXXX")));
    return probe.open(); // removed again when it goes
}

bool FileAccess::isFull(const QString& folder)
{
    ULARGE_INTEGER available{};
    return GetDiskFreeSpaceExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(folder).utf16()), &available,
                               nullptr, nullptr) &&
           available.QuadPart == 0;
}
