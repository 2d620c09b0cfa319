#include "platform/ArgumentWords.h"

#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

// The system's own reader, so that the arguments are exactly those a Windows user expects from the text. Qt quotes
// each of them again, by the same rules, on the command line of the program it starts.
bool splitArgumentText(const QString& text, QStringList* words, QString*)
{
    words->clear();
    if (text.trimmed().isEmpty())
        return true;
    // The first word of a command line is the program, read by other rules: a stand-in takes its place.
    const std::wstring line = L"x " + text.toStdWString();
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(line.c_str(), &count);
    if (!arguments)
        return true;
    for (int i = 1; i < count; ++i)
        words->append(QString::fromWCharArray(arguments[i]));
    LocalFree(arguments);
    return true;
}
