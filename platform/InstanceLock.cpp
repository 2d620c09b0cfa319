#include "platform/InstanceLock.h"

#include "platform/FileAccess.h"
#include "platform/SettingsFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int TalkTimeoutMs = 5000; // the holder may still be starting
const QByteArray WindowedWord = "windowed\n";
const QByteArray HeadlessWord = "headless\n";
const QByteArray RaisedWord = "raised\n";

QByteArray roleWord(InstanceLock::Role role)
{
    return role == InstanceLock::Role::Windowed ? WindowedWord : HeadlessWord;
}

// Why QLockFile could not make its file: it tells no errno, the folder's free room tells the common case.
QString lockFileProblem(QLockFile::LockError error, const QString& folder)
{
    if (error == QLockFile::PermissionError)
        return QStringLiteral("no permission to write in %1").arg(folder);
    if (FileAccess::isFull(folder))
        return QStringLiteral("no room left in %1").arg(folder);
    return QStringLiteral("an unknown error in %1").arg(folder);
}
} // namespace

InstanceLock::InstanceLock(const QString& settingsPath, Role role, QObject* parent)
    : QObject(parent), m_settingsPath(SettingsFile::resolve(settingsPath)), m_role(role),
      m_lock(SettingsFile::instanceLockPath(m_settingsPath))
{
    // A watcher runs for weeks: only a dead holder makes the lock stale, never its age.
    m_lock.setStaleLockTime(0);
}

InstanceLock::~InstanceLock()
{
    if (m_inodeLocked)
        SettingsFile::unlockInode(m_settingsPath);
}

QString InstanceLock::serverName(const QString& settingsPath)
{
    const QByteArray digest =
        QCryptographicHash::hash(SettingsFile::resolve(settingsPath).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(24);
    const QString name = QStringLiteral("tarnwick-ip-vistrel-%1").arg(QString::fromLatin1(digest));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    return name;
}

InstanceLock::Outcome InstanceLock::acquire(QString* error)
{
    const QString lockPath = SettingsFile::instanceLockPath(m_settingsPath);
    const QString folder = QFileInfo(lockPath).absolutePath();
    QDir().mkpath(folder);
    bool locked = m_lock.tryLock(0);
    qint64 pid = 0;
    QString host, application;
    // A holder killed between making its lock file and writing its process into it leaves a file that never
    // turns stale by QLockFile's test; the file's own lock, held while its maker lives, tells whether it is gone.
    if (!locked && m_lock.error() == QLockFile::LockFailedError && !m_lock.getLockInfo(&pid, &host, &application))
        locked = m_lock.removeStaleLockFile() && m_lock.tryLock(0);
    if (locked) {
        QString problem;
        switch (SettingsFile::lockInode(m_settingsPath, &problem)) {
        case SettingsFile::InodeLock::Locked:
            m_inodeLocked = true;
            break;
        case SettingsFile::InodeLock::Busy:
            m_lock.unlock();
            *error = QStringLiteral("Another watcher already uses the settings file %1 through another name (a hard "
                                    "link); two watchers on one file would send every notification twice.")
                         .arg(m_settingsPath);
            return Outcome::Refused;
        case SettingsFile::InodeLock::Failed:
            m_lock.unlock();
            *error = QStringLiteral("The settings file cannot be locked: %1.").arg(problem);
            return Outcome::Failed;
        }
        const QString name = serverName(m_settingsPath);
        QLocalServer::removeServer(name); // left by a holder that died; the lock says it is gone
        m_server = std::make_unique<QLocalServer>();
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server.get(), &QLocalServer::newConnection, this, &InstanceLock::answer);
        if (!m_server->listen(name))
            qWarning("a second start cannot reach this one: %s", qPrintable(m_server->errorString()));
        return Outcome::Acquired;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        *error = QStringLiteral("The lock file %1 cannot be made: %2.")
                     .arg(lockPath, lockFileProblem(m_lock.error(), folder));
        return Outcome::Failed;
    }
    m_lock.getLockInfo(&pid, &host, &application);

    // Start-up only, before any window: a short blocking exchange with the holder.
    QLocalSocket socket;
    socket.connectToServer(serverName(m_settingsPath));
    QByteArray reply;
    if (socket.waitForConnected(TalkTimeoutMs)) {
        socket.write(roleWord(m_role));
        socket.flush();
        while (!reply.contains('\n') && socket.waitForReadyRead(TalkTimeoutMs))
            reply += socket.readAll();
    }
    if (reply == RaisedWord)
        return Outcome::Forwarded;
    const QString holder = reply == HeadlessWord   ? QStringLiteral("A headless watcher")
                           : reply == WindowedWord ? QStringLiteral("The window of another start")
                                                   : QStringLiteral("Another watcher");
    *error = QStringLiteral("%1 (process %2) already uses the settings file %3; two watchers on one file would "
                            "send every notification twice.")
                 .arg(holder)
                 .arg(pid)
                 .arg(m_settingsPath);
    return Outcome::Refused;
}

void InstanceLock::answer()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto reply = [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 64) // not one of ours
                    socket->abort();
                return;
            }
            const QByteArray request = socket->readLine(64);
            const bool raise = request == WindowedWord && m_role == Role::Windowed && m_raise;
            socket->write(raise ? RaisedWord : roleWord(m_role));
            socket->disconnectFromServer();
            if (raise)
                m_raise();
        };
        connect(socket, &QLocalSocket::readyRead, socket, reply);
        reply(); // the request may have come with the connection
    }
}
