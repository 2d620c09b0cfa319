#pragma once

#include "core/Notifiers.h"
#include "notify/ProgramNotifier.h"
#include "notify/SmtpSession.h"
#include "notify/WebNotifier.h"

class MailTransport;
class NotificationHost;
class ProcessLauncher;

/// The notifications as the watcher sees them: the mail, the web and the program notification.
class NotificationService : public Notifiers
{
public:
    NotificationService(NotificationHost& host, ProcessLauncher& launcher);
    ~NotificationService() override;

    void notify(Kind kind, Done done) override;
    void abort() override;

    /// The SSL 2.0 channel for mail with the security "SSL 2.0 (legacy)". Not owned.
    void setSecureTransport(MailTransport* transport) { m_session.setSecureTransport(transport); }

    SmtpSession& session() { return m_session; }

private:
    void sendMail(Done done);

    NotificationHost& m_host;
    ProgramNotifier m_program;
    WebNotifier m_web;
    SmtpSession m_session;
    Done m_mailDone;  // the mail under way reports here
    bool m_awaitingPassword = false; // a mail waits for the keyring's answer
};
