#include "platform/SecretStore.h"

#include <QFile>
#include <QFileInfo>
#include <qt6keychain/keychain.h>

// The Secret Service through QtKeychain, whose jobs run one after another.

namespace {

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

} // namespace

SecretStore::SecretStore(QString service, QString key, QObject* parent)
    : QObject(parent), m_service(std::move(service)), m_key(std::move(key))
{
}

QString SecretStore::storeName()
{
    return QStringLiteral("keyring");
}

bool SecretStore::reachable(QString* why)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
        (!runtime.isEmpty() && QFileInfo(QFile::decodeName(runtime) + QStringLiteral("/bus")).exists()))
        return true;
    *why = QStringLiteral("no session bus");
    return false;
}

namespace {

// Runs @p job and hands its outcome to @p done on a later turn of the event loop (whatever path the job took), as
// long as @p store lives.
void run(SecretStore* store, QKeychain::Job* job, SecretStore::Done done)
{
    QObject::connect(job, &QKeychain::Job::finished, store, [store, done = std::move(done)](QKeychain::Job* finished) {
        SecretStore::Answer answer;
        answer.result = resultOf(finished->error());
        if (answer.result == SecretStore::Result::Ok) {
            if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished))
                answer.secret = read->textData();
        } else if (answer.result != SecretStore::Result::NotFound) {
            answer.message = finished->errorString();
        }
        QMetaObject::invokeMethod(
            store, [done, answer] { done(answer); }, Qt::QueuedConnection);
    });
    job->start();
}

} // namespace

void SecretStore::read(Done done)
{
    run(this, newJob<QKeychain::ReadPasswordJob>(m_service, m_key), std::move(done));
}

void SecretStore::write(const QString& secret, Done done)
{
    auto* job = newJob<QKeychain::WritePasswordJob>(m_service, m_key);
    job->setTextData(secret);
    run(this, job, std::move(done));
}

void SecretStore::remove(Done done)
{
    run(this, newJob<QKeychain::DeletePasswordJob>(m_service, m_key), std::move(done));
}
