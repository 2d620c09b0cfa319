#pragma once

#include "core/NotifierKinds.h"
#include "core/Notifiers.h"
#include "notify/ProgramNotifier.h"
#include "notify/SmtpSession.h"
#include "notify/WebNotifier.h"

#include <array>

class MailTransport;
class NotificationHost;
class ProcessLauncher;

/// A kind of notification that lives in a folder of its own (MQTT, DNS updates): sends with the addresses shown
/// now and reports through @p done exactly once, like Notifiers::notify.
class KindNotifier
{
public:
    virtual ~KindNotifier() = default;
    virtual void send(Notifiers::Done done) = 0;
    /// Ends what is under way: its done reports it given up.
    virtual void abort() = 0;
};

/// The notifications as the watcher sees them: the mail, the web and the program notification, and the kinds
/// handed in by setNotifier.
class NotificationService : public Notifiers
{
public:
    NotificationService(NotificationHost& host, ProcessLauncher& launcher);
    ~NotificationService() override;

    void notify(Kind kind, Done done) override;
    /// The web requests beyond the first that are switched on, and those that are damaged: they fail when sent,
    /// saying why, rather than being passed over in silence.
    QList<int> moreEntries(Kind kind) const override;
    void notifyEntry(Kind kind, int entry, Done done) override;
    void abort() override;

    /// The SSL 2.0 channel for mail with the security "SSL 2.0 (legacy)". Not owned.
    void setSecureTransport(MailTransport* transport) { m_session.setSecureTransport(transport); }

    SmtpSession& session() { return m_session; }
    WebNotifier& web() { return m_web; }

    /// Who sends @p kind (Mqtt, DnsUpdate, Cloudflare); not owned. Without one, that kind fails with a message.
    void setNotifier(Kind kind, KindNotifier* notifier);

private:
    void sendMail(Done done);

    NotificationHost& m_host;
    ProgramNotifier m_program;
    WebNotifier m_web;
    SmtpSession m_session;
    std::array<KindNotifier*, NotifierKinds.size()> m_others{};
    Done m_mailDone;  // the mail under way reports here
    bool m_awaitingPassword = false; // a mail waits for the keyring's answer
};
