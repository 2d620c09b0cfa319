#pragma once

#include "notify/KindNotifier.h"
#include "notify/SmtpSession.h"

class MailTransport;
class NotificationHost;

/// The notification mail: one SmtpSession at a time, with the password the keyring keeps (or the settings file).
class MailNotifier : public KindNotifier
{
public:
    explicit MailNotifier(NotificationHost& host);
    ~MailNotifier() override;

    /// One at a time; past the session's own limit and the wait for QUIT's answer after it.
    Traits traits(int) const override
    {
        return {QStringLiteral("Mail"), Concurrency::OneAtATime,
                SmtpSession::SessionLimitMs + SmtpSession::QuitWaitMs + 1000, {Key::MailPassword}};
    }
    void send(const NoticeSend& send, Notifiers::Done done) override;
    void abort(quint64 run) override;

    /// The SSL 2.0 channel for mail with the security "SSL 2.0 (legacy)". Not owned.
    void setSecureTransport(MailTransport* transport) { m_session.setSecureTransport(transport); }
    SmtpSession& session() { return m_session; }

private:
    NotificationHost& m_host;
    SmtpSession m_session;
    Notifiers::Done m_done; // the mail under way reports here
};
