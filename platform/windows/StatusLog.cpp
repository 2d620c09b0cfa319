#include "platform/StatusLog.h"

#include <QString>

#include <windows.h>

// Windows has no journal reading standard error: a service's lines go to a file or a console, with their time.
bool StatusLog::standardErrorIsJournal()
{
    return false;
}

void StatusLog::writeToStandardError(const QByteArray& line)
{
    const HANDLE stream = GetStdHandle(STD_ERROR_HANDLE);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE)
        return; // a windowed start has no standard error
    DWORD mode = 0;
    if (GetConsoleMode(stream, &mode)) {
        // A console shows UTF-16 as it is, where UTF-8 bytes would be read in its code page.
        const std::wstring text = QString::fromUtf8(line).toStdWString();
        DWORD written = 0;
        WriteConsoleW(stream, text.c_str(), DWORD(text.size()), &written, nullptr);
        return;
    }
    // One call per line, so that lines of two processes on one stream never mix.
    for (qsizetype done = 0; done < line.size();) {
        DWORD written = 0;
        if (!WriteFile(stream, line.constData() + done, DWORD(line.size() - done), &written, nullptr) || !written)
            return;
        done += written;
    }
}
