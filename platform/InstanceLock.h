#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

/// One watcher per settings file, whatever name reaches it. The lock is a file beside the file the name resolves to
/// (symbolic links followed), "<file>.instance.lock", one per profile; a lock left by a process that no longer runs
/// is taken over. The holder also locks the settings file's inode (SettingsFile::lockInode), which refuses a start
/// through a hard link. It listens on a local socket named after the resolved file, through which a second windowed
/// start asks it to bring its window forward.
///
/// Must be made after the application object (the stale-lock test compares process names with it).
class InstanceLock : public QObject
{
    Q_OBJECT
public:
    enum class Role
    {
        Windowed,
        Headless,
    };
    enum class Outcome
    {
        Acquired,  ///< this process is the watcher for the file
        Forwarded, ///< a windowed watcher runs and was asked to raise its window: exit quietly
        Refused,   ///< another watcher runs: see the error text
        Failed,    ///< the lock cannot be made (no room, no permission): see the error text
    };

    InstanceLock(const QString& settingsPath, Role role, QObject* parent = nullptr);
    ~InstanceLock() override;

    /// Takes the lock or talks to its holder. Fills @p error with a text for the user unless Acquired.
    Outcome acquire(QString* error);

    /// Runs when a second windowed start asks this (windowed) watcher for its window.
    void setRaiseWindow(std::function<void()> raise) { m_raise = std::move(raise); }

    /// The local socket's name: in $XDG_RUNTIME_DIR when set (shared by the session and its services), else
    /// Qt's default folder.
    static QString serverName(const QString& settingsPath);

private:
    void answer();

    QString m_settingsPath;
    Role m_role;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void()> m_raise;
    bool m_inodeLocked = false;
};
