#include "notify/ProgramNotifier.h"

#include "core/NotifySettings.h"
#include "notify/NotificationHost.h"
#include "notify/Placeholders.h"
#include "platform/ArgumentWords.h"
#include "platform/ProcessLauncher.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcProgram, "vistrel.notify.program", QtInfoMsg)

NotificationResult ProgramNotifier::fail(const QString& status)
{
    m_host.setStatus(status);
    return NotificationResult::failed(status);
}

NotificationResult ProgramNotifier::startProgram()
{
    const NotifySettings& values = m_host.notifySettings();
    if (values.program.isEmpty())
        return fail(QStringLiteral("Error: Please enter a program to launch"));
    const QString internal = m_host.internalAddress();
    const QString external = m_host.externalAddress();
    const QString external6 = m_host.externalIPv6Address();
    const QString program = substitutePlaceholders(values.program, programPlaceholders(), internal, external, external6);
    const QString argumentText =
        substitutePlaceholders(values.arguments, programPlaceholders(), internal, external, external6);

    QStringList arguments;
    QString error;
    if (!splitArgumentText(argumentText, &arguments, &error)) {
        qCDebug(lcProgram) << "arguments not started:" << error;
        return fail(QStringLiteral("Error: could not launch program"));
    }

    m_host.setStatus(QStringLiteral("Opening ") + program);
    if (!m_launcher.startDetached(program, arguments, &error)) {
        qCDebug(lcProgram) << "start failed:" << program << error;
        return fail(QStringLiteral("Error: could not launch program"));
    }
    const QString opened = QStringLiteral("Opened: ") + program;
    m_host.setStatus(opened);
    return NotificationResult::delivered(opened);
}
