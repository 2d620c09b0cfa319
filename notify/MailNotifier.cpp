#include "notify/MailNotifier.h"

#include "core/NotifySettings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"

#include <utility>

MailNotifier::MailNotifier(NotificationHost& host) : m_host(host), m_session(host)
{
    QObject::connect(&m_session, &SmtpSession::finished, [this](const NotificationResult& result) {
        if (Notifiers::Done done = std::exchange(m_done, {}))
            done(result);
    });
}

MailNotifier::~MailNotifier()
{
    m_done = {};
    m_session.abort();
}

void MailNotifier::send(const NoticeSend&, Notifiers::Done done)
{
    // The settings file, read again since the keyring answered, holds no password.
    if (const PasswordStore* passwords = m_host.passwordStore())
        m_host.notifySettings().password = passwords->password();
    m_done = std::move(done);
    m_session.startMail();
    // A mail refused before it started (settings, certificates) has reported through finished() already.
    if (!m_session.isBusy()) {
        if (Notifiers::Done refused = std::exchange(m_done, {}))
            refused(NotificationResult::failed());
    }
}

void MailNotifier::abort(quint64)
{
    m_session.abort();
}
