#include "notify/NotificationService.h"

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
    if (m_session.isBusy()) {
        // The mail under way keeps its connection and its report; this one did not go out.
        m_host.setStatus(QStringLiteral("Error: A notification mail is already being sent"));
        if (done)
            done(false);
        return;
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
    m_session.abort();
}
