#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

/// The text of an INI settings file kept line by line, so that a value can be replaced in place while
/// comments, blank lines, other sections and lines the program does not understand stay as they were.
///
/// Reading: `key=value` lines belong to the section header above them; sections and keys are found without
/// regard to case (the last line of a key wins). A value is the text after the first `=`, trimmed, taken as
/// written (`;`, `,` and `\` included), unless it is quoted (`"` first and last) or it is one the earlier
/// QSettings store wrote with escapes (see decodeValue).
class IniText
{
public:
    /// At most this many bytes are a settings file.
    static constexpr qint64 MaxBytes = 1024 * 1024;

    /// Parses @p bytes. A file that holds a NUL byte, is not UTF-8, or has anything but blank lines and
    /// comments before its first `[section]` header is no settings file: nothing is returned and @p error says why.
    static std::optional<IniText> parse(const QByteArray& bytes, QString* error);

    /// The file's text again: every line not written through setValue as it was read.
    QByteArray toBytes() const;

    std::optional<QString> value(const QString& section, const QString& key) const;

    /// Replaces the key's line in place, or adds it at the end of the section (made at the end of the file
    /// when there is none).
    void setValue(const QString& section, const QString& key, const QString& value);

    /// A value as it stands after `=` (trimmed here). Quoted: the text between the quotes with the escapes
    /// `\\ \" \n \r \t \a \b \f \v \xHH \0OO`. Unquoted: as written, except a value that only QSettings could
    /// have written (a backslash, each one starting an escape, no bare `"`, no `;`, `,` or `=`), which is
    /// unescaped as QSettings did. A leading `@@` stands for `@`, as with QSettings.
    static QString decodeValue(QStringView raw);
    /// The text to write after `=`: as it is, quoted only where it must be.
    static QString encodeValue(const QString& value);

private:
    struct Line
    {
        QString raw;     ///< as read, without its line feed
        QString section; ///< the section it belongs to (null before the first header)
        QString key;     ///< for key lines only
        QString value;   ///< decoded
        bool header = false;
    };

    static Line classify(const QString& raw, const QString& section);
    qsizetype find(const QString& section, const QString& key) const;

    QList<Line> m_lines;
    bool m_byteOrderMark = false;
};
