#pragma once

#include "platform/IniText.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace SettingsStorage {
class KeyStore;
}

/// How a write to the store ended: a value with the reason, for whoever must tell the user.
struct StoreResult
{
    bool ok = true;
    QString reason; ///< why nothing was written (empty when ok)
    explicit operator bool() const { return ok; }
};

/// The per-user store of named text values, kept in one INI file that people also edit by hand (see IniText for
/// how values read). A rewrite changes only the key's line.
///
/// The file is the one its name reaches: a symbolic link stays a link and the file it points to is written. Every
/// write reaches the disk before it returns, through a temporary file renamed over the old one, so a crash never
/// leaves a torn file. That rename gives the name a new file: other hard links to the old one keep the settings as
/// they were (the log says so). A new file is readable by its owner only; so is one that holds the mail password
/// once it is written. Files over 1 MiB, binary files and text that is no INI file are refused, never read whole
/// and never written.
class SettingsFile
{
public:
    explicit SettingsFile(QString path);
    ~SettingsFile();

    /// `$XDG_CONFIG_HOME/<applicationName>.conf` (`~/.config/` when the variable is unset). On Windows the
    /// registry key `HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<applicationName>`, whose
    /// subkeys are the sections.
    static QString defaultPath(const QString& applicationName);

    /// Whether @p path names a file (false: the system's own store, which defaultPath may name).
    static bool isFile(const QString& path);

    /// The instance lock's file for the store at @p path (resolved): beside a file, "<file>.instance.lock".
    static QString instanceLockPath(const QString& path);

    /// The file @p path reaches: every symbolic link followed (a dangling one to the file a write would make), in a
    /// canonical folder.
    static QString resolve(const QString& path);

    /// Whether the file at @p path, if there is one, reads as a settings file; @p error says why not. Reads nothing
    /// of a file that is too large or not a regular file.
    [[nodiscard]] static bool check(const QString& path, QString* error);

    /// Locks the file's inode against other processes for as long as this process lives or until unlockInode (a
    /// file made later is locked when this process writes it). The lock moves to each new file a write renames
    /// over the old one, and stays on an old one that other hard links still name, so no start through another
    /// name of the file gets it.
    enum class InodeLock
    {
        Locked,
        Busy,   ///< another process holds it
        Failed, ///< the file cannot be opened: see the error
    };
    static InodeLock lockInode(const QString& path, QString* error);
    static void unlockInode(const QString& path);

    const QString& path() const { return m_path; }

    /// The stored text, or @p defaultValue when the key or its section does not exist or the file is refused. The
    /// file is parsed again only when its inode, size or modification time changed.
    QString read(const QString& section, const QString& key, const QString& defaultValue) const;
    /// The stored text; nothing when the key or its section does not exist or the file is refused.
    std::optional<QString> value(const QString& section, const QString& key) const;

    /// Creates or overwrites the value (nothing is written when it is already stored).
    StoreResult write(const QString& section, const QString& key, const QString& value);
    /// Creates or overwrites several values of @p section in one write of the file: after a crash the file holds
    /// all of them or none. The registry (Windows) cannot do that: there they are written one after another in the
    /// order given, so the caller puts first what must not be missing when a later one is.
    StoreResult write(const QString& section, const QList<std::pair<QString, QString>>& values);

    /// What tidyUp found.
    struct Tidied
    {
        int leftoversRemoved = 0; ///< temporary files of writes that a crash or kill cut short
        bool madePrivate = false; ///< the file held a secret and others could read it: now only its owner can
        QString error;            ///< why a leftover or the file's mode could not be dealt with (empty: nothing)
    };
    /// For the one process that writes the file (the instance lock's holder), at its start: removes the temporary
    /// files that writes cut short left beside the file (named as the write names them: the file's name, a dot and
    /// six letters or digits; regular files of this user only), and makes the file readable by its owner only
    /// when one of the secret keys holds a value. On Windows the profile's folder keeps files private: only the
    /// leftovers are removed there.
    Tidied tidyUp();

    /// A key whose non-empty value makes the file readable by its owner only when it is written.
    void addSecretKey(const QString& section, const QString& key) { m_secrets.emplace_back(section, key); }

private:
    struct Snapshot;
    const Snapshot& load() const;
    /// Whether @p text holds a non-empty value of a secret key.
    bool holdsSecret(const IniText& text) const;
    /// Whether @p name is the name write() gives the temporary file of @p target ("<target's name>.tmp-XXXXXX": a
    /// name of its own, so that tidyUp never takes a user's "<name>.backup" for one).
    static bool isTemporaryName(const QString& target, const QString& name);

    QString m_path;
    std::vector<std::pair<QString, QString>> m_secrets;
    mutable std::unique_ptr<Snapshot> m_snapshot;
    std::unique_ptr<SettingsStorage::KeyStore> m_keyStore; ///< the system's own store, when the path names one
};
