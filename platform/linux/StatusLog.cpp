#include "platform/StatusLog.h"

#include <QList>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether @p journalStream ("device:inode", decimal, as systemd sets JOURNAL_STREAM) names the file open on @p fd.
bool isJournalStream(const QByteArray& journalStream, int fd)
{
    const QList<QByteArray> parts = journalStream.split(':');
    if (parts.size() != 2)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts[0].toULongLong(&deviceOk);
    const qulonglong inode = parts[1].toULongLong(&inodeOk);
    struct stat status = {};
    return deviceOk && inodeOk && ::fstat(fd, &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

} // namespace

bool StatusLog::standardErrorIsJournal()
{
    return isJournalStream(qgetenv("JOURNAL_STREAM"), STDERR_FILENO);
}

void StatusLog::writeToStandardError(const QByteArray& line)
{
    // One write(2) per line, so that lines of two processes on one stream never mix.
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t written = ::write(STDERR_FILENO, line.constData() + done, line.size() - done);
        if (written <= 0)
            return;
        done += written;
    }
}
