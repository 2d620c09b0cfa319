#include "core/StatusLine.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcStatus, "vistrel.status", QtWarningMsg)

void StatusLine::show(const QString& text)
{
    m_base = QString();
    m_text = text;
    m_shownAt = QDateTime::currentDateTime();
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

void StatusLine::outdateError()
{
    static const QLatin1String error("Error: ");
    if (m_text.startsWith(error))
        show(QStringLiteral("Earlier error (%1): %2").arg(m_shownAt.toString(u"HH:mm"), m_text.mid(error.size())));
}
