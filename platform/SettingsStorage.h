#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <memory>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

struct StoreResult;

/// What SettingsFile needs of the system it runs on: reading and atomically replacing the file, removing a
/// write's leftovers, making a file private, and the system's own store of settings where there is one. Each
/// system's folder implements these; SettingsFile itself is the same everywhere.
namespace SettingsStorage {

/// What tells one version of a file from another: a file whose identity, size and modification time are as they
/// were need not be read again.
struct FileVersion
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0; ///< since the epoch, in the system's precision
    quint32 mode = 0600;   ///< the permissions, where the system gives files their own
    qint64 links = 1;      ///< how many names (hard links) the file has

    bool sameFile(const FileVersion& other) const
    {
        return exists && other.exists && device == other.device && inode == other.inode && size == other.size &&
               modifiedNs == other.modifiedNs;
    }
};

/// The version of the file at @p path (exists false: there is none); nothing when that cannot be told.
std::optional<FileVersion> versionOf(const QString& path);

/// What reading a file gave.
struct FileRead
{
    FileVersion version;
    std::optional<QByteArray> bytes; ///< nothing: refused, see error; empty and !version.exists: no file
    QString error;
};
/// Reads the file at @p path up to its end, but never much more than IniText::MaxBytes, and never blocks on
/// something that is no regular file.
FileRead readFile(const QString& path);

/// Replaces the file @p target with @p bytes: the new content reaches the disk before it returns and no crash
/// leaves a torn file. @p old is the version read before; @p holdsSecret says whether the new content holds a
/// secret. @p written gets the new file's version when the system tells it exactly.
StoreResult replaceFile(const QString& target, const QByteArray& bytes, const FileVersion& old, bool holdsSecret,
                        std::optional<FileVersion>* written);

/// How removing one of a write's temporary files ended.
enum class Leftover
{
    Removed,
    Kept, ///< no regular file of this user: not ours to remove
    Failed,
};
/// Removes the temporary file at @p path that a cut-short write left; @p error says why not.
Leftover removeLeftover(const QString& path, QString* error);

/// Makes the file at @p target (of version @p version) readable by its owner only. True when its mode changed;
/// false with @p error set when it could not, false alone when there was nothing to do.
bool makePrivate(const QString& target, const FileVersion& version, QString* error);

/// A store of the system's own, other than a file.
class KeyStore
{
public:
    virtual ~KeyStore() = default;
    /// The stored text; nothing when the key or its section does not exist.
    virtual std::optional<QString> value(const QString& section, const QString& key) const = 0;
    /// Creates or overwrites the value.
    virtual StoreResult write(const QString& section, const QString& key, const QString& value) = 0;
};
/// The system's own store that @p path names; nothing when @p path names a file.
std::unique_ptr<KeyStore> keyStore(const QString& path);

} // namespace SettingsStorage
