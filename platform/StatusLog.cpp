#include "platform/StatusLog.h"

#include "platform/OutsideText.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdlib>

StatusLog::StatusLog() : m_journal(standardErrorIsJournal()) {}

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
    writeToStandardError(line);
}
