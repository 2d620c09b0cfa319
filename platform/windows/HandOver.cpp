#include "platform/HandOver.h"

#include <windows.h>

#include <string>

// Windows cannot replace a process with another. The windowed executable starts its headless sibling with the same
// arguments (the command line's text after the program, as this process received it, so nothing is re-quoted or
// lost to a code page), on the same console and standard streams, waits for it, and ends with its exit status.
// Ctrl+C reaches both; this process leaves it to the sibling.

namespace {

// Where the program's token of @p line ends, by the rule Windows' own parser applies to it: up to the closing
// quote when it starts with one, else up to the first blank.
std::wstring::size_type programEnd(const std::wstring& line)
{
    if (!line.empty() && line[0] == L'"') {
        const auto close = line.find(L'"', 1);
        return close == std::wstring::npos ? line.size() : close + 1;
    }
    const auto blank = line.find_first_of(L" \t");
    return blank == std::wstring::npos ? line.size() : blank;
}

} // namespace

void HandOver::toSibling(const char* name, char**)
{
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, self.data(), DWORD(self.size()));
        if (length == 0)
            return;
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    const auto slash = self.find_last_of(L"\\/");
    const std::string ascii(name);
    std::wstring sibling = self.substr(0, slash + 1) + std::wstring(ascii.begin(), ascii.end()) + L".exe";

    const std::wstring line = GetCommandLineW();
    std::wstring command = L"\"" + sibling + L"\"" + line.substr(programEnd(line));

    // A windowed executable started from a console is not attached to it: join it, so the sibling writes there.
    const bool console = GetConsoleWindow() != nullptr || AttachConsole(ATTACH_PARENT_PROCESS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    // Without a console (Task Scheduler, a shortcut) the sibling gets none either, rather than a window of its own.
    if (!CreateProcessW(sibling.c_str(), command.data(), nullptr, nullptr, TRUE, console ? 0 : CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    SetConsoleCtrlHandler(nullptr, TRUE); // Ctrl+C is the sibling's to answer
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    ExitProcess(status);
}
