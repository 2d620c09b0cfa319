#pragma once

#include "app/Form1Hooks.h"
#include "notify/ProgramNotifier.h"
#include "notify/SmtpSession.h"
#include "notify/WebNotifier.h"
#include "notify/frmConfigure.h"

#include <QPointer>

class MailTransport;
class NotificationHost;
class ProcessLauncher;

/// The notification subsystem as the main window sees it: the mail, the web and the program
/// notification, and the configuration dialog.
class NotificationService : public NotificationHooks
{
public:
    NotificationService(NotificationHost& host, ProcessLauncher& launcher, QWidget* dialogParent = nullptr);
    ~NotificationService() override;

    void cmdSend_Click() override;
    void doHitURL() override;
    void doLauchProg() override;
    void showConfiguration() override;
    void unload() override;

    /// The SSL 2.0 channel for mail with the security "SSL 2.0 (legacy)". Not owned.
    void setSecureTransport(MailTransport* transport) { m_session.setSecureTransport(transport); }

    SmtpSession& session() { return m_session; }
    frmConfigure* configuration() const { return m_dialog; }

private:
    NotificationHost& m_host;
    QWidget* m_dialogParent;
    ProgramNotifier m_program;
    WebNotifier m_web;
    SmtpSession m_session;
    QPointer<frmConfigure> m_dialog;
};
