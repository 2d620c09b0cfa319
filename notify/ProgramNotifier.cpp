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

void ProgramNotifier::send(const NoticeSend& send, Notifiers::Done done)
{
    const NotificationResult result = startProgram(send.addresses);
    if (done)
        done(result);
}

NotificationResult ProgramNotifier::startProgram(const NoticeAddresses& addresses)
{
    const NotifySettings& values = m_host.notifySettings();
    if (values.program.isEmpty()) {
        const QString status = QStringLiteral("Error: Please enter a program to launch");
        m_host.setStatus(status);
        return NotificationResult::misconfigured(status);
    }
    const QString& internal = addresses.internal;
    const QString& external = addresses.external;
    const QString& external6 = addresses.external6;
    const OwnIPv6 own6{addresses.internal6, addresses.prefix6};
    const QString program =
        substitutePlaceholders(values.program, programPlaceholders(), internal, external, external6, own6);
    const QString argumentText =
        substitutePlaceholders(values.arguments, programPlaceholders(), internal, external, external6, own6);

    QStringList arguments;
    QString error;
    if (!splitArgumentText(argumentText, &arguments, &error)) {
        qCDebug(lcProgram) << "arguments not started:" << error;
        return fail(QStringLiteral("Error: could not launch program: the arguments: ") + error);
    }

    m_host.setStatus(QStringLiteral("Opening ") + program);
    if (!m_launcher.startDetached(program, arguments, &error)) {
        qCDebug(lcProgram) << "start failed:" << program << error;
        return fail(QStringLiteral("Error: could not launch program: ") + error);
    }
    const QString opened = QStringLiteral("Success: started ") + program;
    m_host.setStatus(opened);
    return NotificationResult::delivered(opened);
}
