#include "platform/SettingsFile.h"

#include "platform/SettingsStorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int MaxLinkHops = 40; // the kernel's own limit for one path

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The inode locks this process holds, by resolved path: the current file's descriptor first, then old files
// that other hard links still name.
struct InodeLocks
{
    QMutex mutex;
    QHash<QString, QList<int>> held;
};

InodeLocks& inodeLocks()
{
    static InodeLocks locks;
    return locks;
}

// @p file with its folder made canonical (the folder as it is when it does not exist yet).
QString inCanonicalFolder(const QString& file)
{
    const QFileInfo info(file);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? QDir::cleanPath(info.absolutePath()) : folder).filePath(info.fileName());
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

namespace SettingsStorage {

namespace {

FileVersion versionFrom(const struct stat& st)
{
    FileVersion version;
    version.exists = true;
    version.device = st.st_dev;
    version.inode = st.st_ino;
    version.size = st.st_size;
    version.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    version.mode = st.st_mode & 07777;
    version.links = qint64(st.st_nlink);
    return version;
}

} // namespace

std::optional<FileVersion> versionOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return versionFrom(st);
    if (errno == ENOENT)
        return FileVersion{};
    return std::nullopt;
}

FileRead readFile(const QString& path)
{
    FileRead got;
    const auto refuse = [&](const QString& reason) {
        got.error = reason;
        return std::move(got);
    };
    // Non-blocking: a named pipe given as the file must not hang the start.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) {
        got.bytes = QByteArray();
        return got;
    }
    if (fd < 0) {
        const int error = errno;
        if (struct stat st; ::stat(QFile::encodeName(path).constData(), &st) == 0)
            got.version = versionFrom(st); // refused once per version of the file, not at every read
        return refuse(QStringLiteral("it cannot be read (%1)").arg(systemError(error)));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(QStringLiteral("it is not a regular file"));
    }
    got.version = versionFrom(st);
    if (st.st_size > IniText::MaxBytes) {
        ::close(fd);
        return refuse(QStringLiteral("it is larger than 1 MiB"));
    }
    // Up to EOF, but never more than one chunk past the limit (IniText refuses what is over it): a file may grow
    // after fstat.
    QByteArray bytes;
    bytes.reserve(qsizetype(st.st_size));
    char chunk[16384];
    while (bytes.size() <= IniText::MaxBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return refuse(QStringLiteral("it cannot be read (%1)").arg(systemError(error)));
        }
        if (n == 0)
            break;
        bytes.append(chunk, n);
    }
    ::close(fd);
    got.bytes = std::move(bytes);
    return got;
}

StoreResult replaceFile(const QString& target, const QByteArray& bytes, const FileVersion& old, bool holdsSecret,
                        std::optional<FileVersion>* written)
{
    mode_t mode = old.exists ? mode_t(old.mode) : 0600;
    if ((mode & 077) && holdsSecret) {
        qCInfo(lcStore) << "settings file" << target << "holds a secret and was readable by others: now by its owner"
                        << "only";
        mode &= ~mode_t(077);
    }
    const QByteArray native = QFile::encodeName(target);
    QByteArray temporary = native + ".tmp-XXXXXX"; // SettingsFile::isTemporaryName's pattern
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    const auto fail = [&](int error) {
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temporary.constData());
        }
        return StoreResult{false, QStringLiteral("%1 cannot be written: %2").arg(target, systemError(error))};
    };
    if (fd < 0 || ::fchmod(fd, mode) != 0 || !writeAll(fd, bytes) || ::fsync(fd) != 0)
        return fail(errno);
    InodeLocks& locks = inodeLocks();
    const QMutexLocker locker(&locks.mutex);
    const auto held = locks.held.find(target);
    // The new file is locked before its name is: no start through any name finds it free.
    if (held != locks.held.end() && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno);
    if (::rename(temporary.constData(), native.constData()) != 0)
        return fail(errno);
    if (const int folder =
            ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0) {
        ::fsync(folder); // the rename itself
        ::close(folder);
    }

    if (struct stat st; ::fstat(fd, &st) == 0)
        *written = versionFrom(st);
    if (held == locks.held.end()) {
        ::close(fd);
        return {};
    }
    // Old files that no name reaches any more need no lock.
    QList<int>& fds = *held;
    fds.erase(std::remove_if(fds.begin(), fds.end(),
                             [](int oldFd) {
                                 struct stat oldStat;
                                 if (::fstat(oldFd, &oldStat) == 0 && oldStat.st_nlink > 0)
                                     return false;
                                 ::close(oldFd);
                                 return true;
                             }),
              fds.end());
    fds.prepend(fd);
    return {};
}

Leftover removeLeftover(const QString& path, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return Leftover::Kept;
    if (::unlink(native.constData()) == 0)
        return Leftover::Removed;
    *error = QStringLiteral("%1 cannot be removed: %2").arg(path, systemError(errno));
    return Leftover::Failed;
}

bool makePrivate(const QString& target, const FileVersion& version, QString* error)
{
    if (!(version.mode & 077))
        return false;
    if (::chmod(QFile::encodeName(target).constData(), mode_t(version.mode) & ~mode_t(077)) == 0)
        return true;
    *error = QStringLiteral("%1 cannot be made private: %2").arg(target, systemError(errno));
    return false;
}

std::unique_ptr<KeyStore> keyStore(const QString&)
{
    return nullptr; // the settings are always a file here
}

} // namespace SettingsStorage

QString SettingsFile::defaultPath(const QString& applicationName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           applicationName + QStringLiteral(".conf");
}

bool SettingsFile::isFile(const QString&)
{
    return true;
}

QString SettingsFile::instanceLockPath(const QString& path)
{
    return path + QStringLiteral(".instance.lock");
}

QString SettingsFile::resolve(const QString& path)
{
    QString current = inCanonicalFolder(path);
    for (int hops = 0; hops < MaxLinkHops; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(QFile::encodeName(current).constData(), target, sizeof target);
        if (n <= 0 || n >= ssize_t(sizeof target))
            break; // not a link
        const QString link = QFile::decodeName(QByteArray(target, n));
        current = inCanonicalFolder(QDir(QFileInfo(current).absolutePath()).absoluteFilePath(link));
    }
    return current;
}

SettingsFile::InodeLock SettingsFile::lockInode(const QString& path, QString* error)
{
    const QString target = resolve(path);
    InodeLocks& locks = inodeLocks();
    const QMutexLocker locker(&locks.mutex);
    if (locks.held.contains(target))
        return InodeLock::Locked;
    const int fd = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) {
        locks.held.insert(target, {}); // the first write makes the file, and locks it
        return InodeLock::Locked;
    }
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        locks.held.insert(target, {fd});
        return InodeLock::Locked;
    }
    const int failure = errno;
    if (fd >= 0)
        ::close(fd);
    if (failure == EWOULDBLOCK)
        return InodeLock::Busy;
    if (error)
        *error = QStringLiteral("%1 cannot be locked: %2").arg(target, systemError(failure));
    return InodeLock::Failed;
}

void SettingsFile::unlockInode(const QString& path)
{
    InodeLocks& locks = inodeLocks();
    const QMutexLocker locker(&locks.mutex);
    for (const int fd : locks.held.take(resolve(path)))
        ::close(fd);
}
