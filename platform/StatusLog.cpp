#include "platform/StatusLog.h"

#include "platform/OutsideText.h"
#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

StatusLog::StatusLog(int fd) : m_fd(fd), m_journal(isJournalStream(qgetenv("JOURNAL_STREAM"), fd)) {}

bool StatusLog::isJournalStream(const QByteArray& journalStream, int fd)
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

namespace {
StatusLog* s_qtLog = nullptr;

void qtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const int priority = type == QtDebugMsg ? 7 : type == QtInfoMsg ? 6 : type == QtWarningMsg ? 4 : 3;
    const bool named = context.category && qstrcmp(context.category, "default") != 0;
    s_qtLog->write(named ? QString::fromUtf8(context.category) + QStringLiteral(": ") + message : message, priority);
    if (type == QtFatalMsg)
        std::abort();
}
} // namespace

void StatusLog::captureQtMessages(StatusLog* log)
{
    s_qtLog = log;
    qInstallMessageHandler(log ? qtMessage : nullptr);
}

void StatusLog::write(const QString& text, int priority)
{
    // One line per status, whatever the text holds, and nothing a terminal would obey.
    const QString flat = OutsideText::line(text, MaxLineChars);
    QByteArray line;
    if (m_journal) {
        line = '<' + QByteArray::number(priority) + '>';
    } else {
        const QDateTime now = QDateTime::currentDateTime();
        line = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toUtf8() + ' ';
    }
    line += flat.toUtf8() + '\n';
    // One write(2) per line, so that lines of two processes on one stream never mix.
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t written = ::write(m_fd, line.constData() + done, line.size() - done);
        if (written <= 0)
            return;
        done += written;
    }
}
