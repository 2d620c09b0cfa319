#include "notify/NotificationService.h"

#include "core/NotifySettings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "notify/WebEntries.h"

#include <utility>

NotificationService::NotificationService(NotificationHost& host, ProcessLauncher& launcher)
    : m_host(host), m_program(host, launcher), m_web(host), m_session(host)
{
    QObject::connect(&m_session, &SmtpSession::finished, [this](const NotificationResult& result) {
        if (Done done = std::exchange(m_mailDone, {}))
            done(result);
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
        return m_web.sendFirstUrl(std::move(done));
    case Kind::Program: {
        const NotificationResult result = m_program.startProgram();
        if (done)
            done(result);
        return;
    }
    case Kind::Mqtt:
    case Kind::DnsUpdate:
    case Kind::Cloudflare:
        if (KindNotifier* other = m_others[size_t(kind)])
            return other->send(std::move(done));
        const QString missing =
            QStringLiteral("Error: No %1 in this build").arg(QLatin1String(notifierKind(kind).statusName));
        m_host.setStatus(missing);
        if (done)
            done(NotificationResult::failed(missing));
        return;
    }
}

QList<int> NotificationService::moreEntries(Kind kind) const
{
    QList<int> entries;
    if (kind != Kind::Web)
        return entries;
    for (int entry = WebEntries::First; entry <= WebEntries::Last; ++entry) {
        QString error;
        const std::optional<WebRequest> request = WebEntries::load(m_host.settings(), entry, &error);
        // A damaged entry may have been meant to be on: it is tried, and its failure says what is wrong.
        if (!error.isEmpty() || (request && request->on))
            entries.append(entry);
    }
    return entries;
}

void NotificationService::notifyEntry(Kind kind, int entry, Done done)
{
    if (kind == Kind::Web && entry >= WebEntries::First && entry <= WebEntries::Last)
        return m_web.send(entry, std::move(done));
    Notifiers::notifyEntry(kind, entry, std::move(done));
}

void NotificationService::setNotifier(Kind kind, KindNotifier* notifier)
{
    m_others[size_t(kind)] = notifier;
}

void NotificationService::sendMail(Done done)
{
    if (m_session.isBusy() || m_awaitingPassword) {
        // The mail under way keeps its connection and its report; this one did not go out.
        const QString busy = QStringLiteral("Error: A notification mail is already being sent");
        m_host.setStatus(busy);
        if (done)
            done(NotificationResult::failed(busy));
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
        m_host.notifySettings().password = passwords->password(); // the settings file, read again since, holds none
    }
    m_mailDone = std::move(done);
    m_session.startMail();
    // A mail refused before it started (settings, certificates) has reported through finished() already.
    if (!m_session.isBusy()) {
        if (Done refused = std::exchange(m_mailDone, {}))
            refused(NotificationResult::failed());
    }
}

void NotificationService::abort()
{
    if (std::exchange(m_awaitingPassword, false)) {
        if (Done waiting = std::exchange(m_mailDone, {}))
            waiting(NotificationResult::givenUp());
    }
    m_session.abort();
    m_web.abort();
    for (KindNotifier* other : m_others) {
        if (other)
            other->abort();
    }
}
