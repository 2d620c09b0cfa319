#pragma once

#include <QString>

/// Status texts on standard error, one line each. On a terminal or in a file each line starts with the local
/// time (ISO 8601, seconds, with the offset); when standard error is the system journal's stream (on Linux
/// systemd sets JOURNAL_STREAM to its device and inode) the line carries the journal's "informational" priority
/// instead, since the journal keeps its own time. Control and hidden characters never reach the stream (OutsideText).
class StatusLog
{
public:
    /// A longer line (a Qt message, say) is cut there.
    static constexpr qsizetype MaxLineChars = 4096;

    /// Looks at the environment and at standard error once.
    StatusLog();

    /// @p priority is syslog's (6 informational, 4 warning, ...), shown only to the journal.
    void write(const QString& text, int priority = 6);

    /// Sends Qt's own messages (warnings, logging categories) through @p log too, so that every line on standard
    /// error has the same form. Null restores Qt's handler.
    static void captureQtMessages(StatusLog* log);

private:
    /// Whether standard error is the journal's stream.
    static bool standardErrorIsJournal();
    /// Writes @p line to standard error at once, as far as the stream takes it.
    static void writeToStandardError(const QByteArray& line);

    bool m_journal = false;
};
