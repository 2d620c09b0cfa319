#include "core/StatusLine.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcStatus, "vistrel.status", QtWarningMsg)

void StatusLine::show(const QString& text)
{
    m_base = QString();
    m_text = text;
    qCInfo(lcStatus).noquote() << text;
    emit changed(text);
}

void StatusLine::showWithPending(const QString& text, const QString& pending)
{
    show(pending.isEmpty() ? text : text + QStringLiteral(" (") + pending + u')');
    m_base = text;
}

void StatusLine::pendingChanged(const QString& pending)
{
    if (const QString base = m_base; !base.isNull())
        showWithPending(base, pending);
}
