#pragma once

#include <QString>
#include <QStringList>

/// Splits @p text into words as a POSIX shell splits a command's words, without expanding anything:
/// blanks (space, tab, line end) separate words; 'single quotes' keep everything literally;
/// "double quotes" keep everything but a backslash before $ ` " \ or a line end; a backslash outside
/// quotes keeps the next character (and joins lines before a line end). Quoted empty text is a word.
/// An unterminated quote or a trailing backslash is an error: false and @p error.
[[nodiscard]] bool splitShellWords(const QString& text, QStringList* words, QString* error);
