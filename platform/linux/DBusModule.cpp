// The module behind DBusCalls: Qt D-Bus and QtKeychain are loaded with it.

#include "platform/linux/DBusCalls.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <qt6keychain/keychain.h>

namespace {

// The Secret Service through QtKeychain, whose jobs run one after another.

template <typename J> J* newJob(const QString& service, const QString& key)
{
    auto* job = new J(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false); // QtKeychain's own plain-text fallback would be a second, hidden copy
    job->setKey(key);
    return job;
}

SecretStore::Result resultOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return SecretStore::Result::Ok;
    case QKeychain::EntryNotFound:
        return SecretStore::Result::NotFound;
    case QKeychain::NoBackendAvailable:
        return SecretStore::Result::NoStore;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return SecretStore::Result::Refused;
    default:
        return SecretStore::Result::Error;
    }
}

// Runs @p job and hands its outcome to @p done on a later turn of the event loop (whatever path the job took), as
// long as @p context lives.
void run(QObject* context, QKeychain::Job* job, SecretStore::Done done)
{
    QObject::connect(job, &QKeychain::Job::finished, context,
                     [context, done = std::move(done)](QKeychain::Job* finished) {
                         SecretStore::Answer answer;
                         answer.result = resultOf(finished->error());
                         if (answer.result == SecretStore::Result::Ok) {
                             if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished))
                                 answer.secret = read->textData();
                         } else if (answer.result != SecretStore::Result::NotFound) {
                             answer.message = finished->errorString();
                         }
                         QMetaObject::invokeMethod(
                             context, [done, answer] { done(answer); }, Qt::QueuedConnection);
                     });
    job->start();
}

void runSecretJob(QObject* context, DBusCalls::SecretJob job, const QString& service, const QString& key,
                  const QString& secret, SecretStore::Done done)
{
    switch (job) {
    case DBusCalls::SecretJob::Read:
        return run(context, newJob<QKeychain::ReadPasswordJob>(service, key), std::move(done));
    case DBusCalls::SecretJob::Write: {
        auto* write = newJob<QKeychain::WritePasswordJob>(service, key);
        write->setTextData(secret);
        return run(context, write, std::move(done));
    }
    case DBusCalls::SecretJob::Remove:
        return run(context, newJob<QKeychain::DeletePasswordJob>(service, key), std::move(done));
    }
}

const QString NoticeBusName = QStringLiteral("org.freedesktop.Notifications");

bool sessionBusConnected()
{
    return QDBusConnection::sessionBus().isConnected();
}

void showNotice(QObject* context, const NoticeService::Notice& notice, int timeoutMs, NoticeService::Done done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(NoticeBusName, QStringLiteral("/org/freedesktop/Notifications"),
                                                       NoticeBusName, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), notice.desktopEntry}};
    call << notice.application << notice.replaces << notice.icon << notice.summary << notice.body << QStringList()
         << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError())
            return done(0, reply.error().name());
        done(reply.value(), QString());
    });
}

bool watchSleep(QObject* receiver, const char* slot)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    return bus.isConnected() &&
           bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), receiver,
                       slot);
}

} // namespace

extern "C" Q_DECL_EXPORT const DBusCalls* vistrelDBusCalls()
{
    static const DBusCalls calls{runSecretJob, sessionBusConnected, showNotice, watchSleep};
    return &calls;
}
