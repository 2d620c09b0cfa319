#include "notify/NotificationService.h"

#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"

#include <utility>

NotificationService::NotificationService(NotificationHost& host, ProcessLauncher& launcher)
    : m_host(host), m_program(host, launcher), m_web(host), m_session(host)
{
    QObject::connect(&m_session, &SmtpSession::finished, [this](bool sent) {
        if (Done done = std::exchange(m_mailDone, {}))
            done(sent);
    });
}

NotificationService::~NotificationService()
{
    m_mailDone = {};
    m_session.abort();
}

void NotificationService::notify(Kind kind, Done done)
{
    switch (kind) {
    case Kind::Mail:
        return sendMail(std::move(done));
    case Kind::Web:
        return m_web.doHitURL(std::move(done));
    case Kind::Program: {
        const bool started = m_program.doLauchProg();
        if (done)
            done(started);
        return;
    }
    }
}

void NotificationService::sendMail(Done done)
{
    if (m_session.isBusy() || m_awaitingPassword) {
        // The mail under way keeps its connection and its report; this one did not go out.
        m_host.setStatus(QStringLiteral("Error: A notification mail is already being sent"));
        if (done)
            done(false);
        return;
    }
    if (PasswordStore* passwords = m_host.passwordStore()) {
        if (!passwords->isReady()) {
            // Asked for before the keyring answered: the mail starts once its password is known.
            m_awaitingPassword = true;
            m_mailDone = std::move(done);
            passwords->whenReady(&m_session, [this] {
                if (std::exchange(m_awaitingPassword, false))
                    sendMail(std::exchange(m_mailDone, {}));
            });
            return;
        }
        passwords->applyTo(m_host.notifySettings()); // the settings file, read again since, holds none
    }
    m_mailDone = std::move(done);
    m_session.cmdSend_Click();
    // A mail refused before it started (settings, certificates) never leaves Idle, so it reports here.
    if (!m_session.isBusy()) {
        if (Done refused = std::exchange(m_mailDone, {}))
            refused(false);
    }
}

void NotificationService::abort()
{
    if (std::exchange(m_awaitingPassword, false)) {
        if (Done waiting = std::exchange(m_mailDone, {}))
            waiting(false);
    }
    m_session.abort();
    m_web.abort();
}
