#include "notify/ProgramNotifier.h"

#include "app/NotifySettings.h"
#include "notify/NotificationHost.h"
#include "notify/Placeholders.h"
#include "notify/ShellWords.h"
#include "platform/ProcessLauncher.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcProgram, "vistrel.notify.program", QtInfoMsg)

bool ProgramNotifier::doLauchProg()
{
    const NotifySettings& values = m_host.notifySettings();
    if (values.program.isEmpty()) {
        m_host.setStatus(QStringLiteral("Error: Please enter a program to launch"));
        return false;
    }
    const QString internal = m_host.internalAddress();
    const QString external = m_host.externalAddress();
    const QString external6 = m_host.externalIPv6Address();
    const QString program = substitutePlaceholders(values.program, programPlaceholders(), internal, external, external6);
    const QString argumentText =
        substitutePlaceholders(values.arguments, programPlaceholders(), internal, external, external6);

    QStringList arguments;
    QString error;
    if (!splitShellWords(argumentText, &arguments, &error)) {
        qCDebug(lcProgram) << "arguments not started:" << error;
        m_host.setStatus(QStringLiteral("Error: could not launch program"));
        return false;
    }

    m_host.setStatus(QStringLiteral("Opening ") + program);
    if (!m_launcher.startDetached(program, arguments, &error)) {
        qCDebug(lcProgram) << "start failed:" << program << error;
        m_host.setStatus(QStringLiteral("Error: could not launch program"));
        return false;
    }
    m_host.setStatus(QStringLiteral("Opened: ") + program);
    return true;
}
