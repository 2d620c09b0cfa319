#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/// A stretch of text with one character format.
struct RtfRun
{
    QString text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;  // font size in half points, as the file gives it

    bool sameFormat(const RtfRun& other) const
    {
        return bold == other.bold && italic == other.italic && underline == other.underline &&
               halfPoints == other.halfPoints;
    }
};

enum class RtfAlignment
{
    Left,
    Center,
    Right,
    Justify,
};

struct RtfParagraph
{
    QList<RtfRun> runs;
    RtfAlignment alignment = RtfAlignment::Left;
};

/// What the reader made of a file: the paragraphs it found, and what it had to skip or mend on the way.
struct RtfDocument
{
    QList<RtfParagraph> paragraphs;
    QStringList problems;

    /// The text alone, paragraphs joined with line feeds.
    QString plainText() const
    {
        QStringList lines;
        for (const RtfParagraph& paragraph : paragraphs) {
            QString line;
            for (const RtfRun& run : paragraph.runs)
                line += run.text;
            lines << line;
        }
        return lines.join(QLatin1Char('\n'));
    }
};
