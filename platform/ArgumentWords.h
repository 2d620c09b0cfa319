#pragma once

#include <QString>
#include <QStringList>

/// Splits the argument text a user wrote for a program into its arguments, by the rules people on the system
/// write command lines with, without expanding anything. An empty or blank text has no arguments.
///
/// Linux: as a POSIX shell splits a command's words: blanks (space, tab, line end) separate words; 'single
/// quotes' keep everything literally; "double quotes" keep everything but a backslash before $ ` " \ or a line
/// end; a backslash outside quotes keeps the next character (and joins lines before a line end). Quoted empty
/// text is a word. An unterminated quote or a trailing backslash is an error: false and @p error.
///
/// Windows: as the system reads a command line's arguments (CommandLineToArgvW): blanks separate arguments
/// outside double quotes; a backslash is itself except before a double quote, where backslashes come in pairs
/// and an odd one makes the quote literal. A path such as C:\Users\me\ip.txt stays as written. Never fails.
[[nodiscard]] bool splitArgumentText(const QString& text, QStringList* words, QString* error);
