#include "platform/SecretStore.h"

#include "platform/linux/DBusCalls.h"

#include <QFile>
#include <QFileInfo>

// The Secret Service through QtKeychain, in the D-Bus module (DBusCalls), loaded at the first call.

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

void run(SecretStore* store, DBusCalls::SecretJob job, const QString& service, const QString& key,
         const QString& secret, SecretStore::Done done)
{
    QString error;
    if (const DBusCalls* calls = DBusCalls::load(&error))
        return calls->runSecretJob(store, job, service, key, secret, std::move(done));
    const SecretStore::Answer answer{SecretStore::Result::NoStore, {}, error};
    QMetaObject::invokeMethod(
        store, [done = std::move(done), answer] { done(answer); }, Qt::QueuedConnection);
}

} // namespace

void SecretStore::read(Done done)
{
    run(this, DBusCalls::SecretJob::Read, m_service, m_key, {}, std::move(done));
}

void SecretStore::write(const QString& secret, Done done)
{
    run(this, DBusCalls::SecretJob::Write, m_service, m_key, secret, std::move(done));
}

void SecretStore::remove(Done done)
{
    run(this, DBusCalls::SecretJob::Remove, m_service, m_key, {}, std::move(done));
}
