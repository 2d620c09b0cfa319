#pragma once

#include "rtf/RtfDocument.h"

#include <QByteArray>

/// Reads the subset of RTF that the help file uses: groups, \par, \line, \tab, \pard, \plain, \b, \i,
/// \ul, \fs, \qc/\ql/\qr/\qj, \'hh (Windows-1252), \uN with \ucN, the escaped characters and a few
/// named punctuation words. Font, colour and style tables, pictures, the information group and every
/// \* destination are skipped; unknown control words are ignored.
///
/// Every byte is read with bounds checks. Broken input never fails the read: the reader keeps what it
/// could make sense of and lists what it mended in RtfDocument::problems.
class RtfReader
{
public:
    /// Groups nested deeper than this are read as if they were one level (their braces still count).
    static constexpr int MaxDepth = 64;

    static RtfDocument read(const QByteArray& bytes);
};
