#include "platform/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
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

Q_LOGGING_CATEGORY(lcStore, "vistrel.settings")

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

struct SettingsFile::Snapshot
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    mode_t mode = 0600;
    nlink_t links = 1;
    std::optional<IniText> text; ///< nothing: the file is refused, see error
    QString error;

    void take(const struct stat& st)
    {
        exists = true;
        device = st.st_dev;
        inode = st.st_ino;
        size = st.st_size;
        modified = st.st_mtim;
        mode = st.st_mode & 07777;
        links = st.st_nlink;
    }
    bool sameFile(const struct stat& st) const
    {
        return exists && device == st.st_dev && inode == st.st_ino && size == st.st_size &&
               modified.tv_sec == st.st_mtim.tv_sec && modified.tv_nsec == st.st_mtim.tv_nsec;
    }

    static Snapshot read(const QString& path)
    {
        Snapshot snapshot;
        const auto refuse = [&](const QString& reason) {
            snapshot.error = reason;
            return std::move(snapshot);
        };
        // Non-blocking: a named pipe given as the file must not hang the start.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT) {
            snapshot.text = IniText();
            return snapshot;
        }
        if (fd < 0) {
            const int error = errno;
            if (struct stat st; ::stat(QFile::encodeName(path).constData(), &st) == 0)
                snapshot.take(st); // refused once per version of the file, not at every read
            return refuse(QStringLiteral("it cannot be read (%1)").arg(systemError(error)));
        }
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return refuse(QStringLiteral("it is not a regular file"));
        }
        snapshot.take(st);
        if (st.st_size > IniText::MaxBytes) {
            ::close(fd);
            return refuse(QStringLiteral("it is larger than 1 MiB"));
        }
        // Up to EOF, but never more than one chunk past the limit: a file may grow after fstat.
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
        snapshot.text = IniText::parse(bytes, &snapshot.error);
        return snapshot;
    }
};

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

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

SettingsFile::~SettingsFile() = default;

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

bool SettingsFile::check(const QString& path, QString* error)
{
    const Snapshot snapshot = Snapshot::read(path);
    if (!snapshot.text && error)
        *error = snapshot.error;
    return snapshot.text.has_value();
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

const SettingsFile::Snapshot& SettingsFile::load() const
{
    struct stat st;
    const bool exists = ::stat(QFile::encodeName(m_path).constData(), &st) == 0;
    const bool stillMissing = !exists && errno == ENOENT && m_snapshot && !m_snapshot->exists && m_snapshot->text;
    if (!m_snapshot || !(stillMissing || (exists && m_snapshot->sameFile(st)))) {
        m_snapshot = std::make_unique<Snapshot>(Snapshot::read(m_path));
        if (!m_snapshot->text)
            qCWarning(lcStore) << "settings file" << m_path << "refused:" << m_snapshot->error;
    }
    return *m_snapshot;
}

std::optional<QString> SettingsFile::value(const QString& section, const QString& key) const
{
    const Snapshot& snapshot = load();
    if (!snapshot.text)
        return std::nullopt;
    return snapshot.text->value(section, key);
}

StoreResult SettingsFile::write(const QString& section, const QList<std::pair<QString, QString>>& values)
{
    const Snapshot& current = load();
    if (!current.text)
        return {false, QStringLiteral("%1 is refused: %2").arg(m_path, current.error)};
    IniText text = *current.text;
    bool changed = false;
    for (const auto& [key, value] : values) {
        if (text.value(section, key) != value) {
            text.setValue(section, key, value);
            changed = true;
        }
    }
    if (!changed)
        return {};

    const QString target = resolve(m_path);
    mode_t mode = current.exists ? current.mode : 0600;
    if ((mode & 077) && holdsSecret(text)) {
        qCInfo(lcStore) << "settings file" << target << "holds a secret and was readable by others: now by its owner"
                        << "only";
        mode &= ~mode_t(077);
    }
    if (current.links > 1)
        qCInfo(lcStore) << "settings file" << target << "has other names (hard links): they keep the settings as"
                        << "they were, this name gets a file of its own";

    QDir().mkpath(QFileInfo(target).absolutePath());
    const QByteArray native = QFile::encodeName(target);
    QByteArray temporary = native + ".tmp-XXXXXX"; // isTemporaryName's pattern
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    const auto fail = [&](int error) {
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temporary.constData());
        }
        return StoreResult{false, QStringLiteral("%1 cannot be written: %2").arg(target, systemError(error))};
    };
    if (fd < 0 || ::fchmod(fd, mode) != 0 || !writeAll(fd, text.toBytes()) || ::fsync(fd) != 0)
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

    auto written = std::make_unique<Snapshot>();
    written->text = std::move(text);
    struct stat st;
    if (::fstat(fd, &st) == 0)
        written->take(st);
    m_snapshot = std::move(written);
    if (held == locks.held.end()) {
        ::close(fd);
        return {};
    }
    // Old files that no name reaches any more need no lock.
    QList<int>& fds = *held;
    fds.erase(std::remove_if(fds.begin(), fds.end(),
                             [](int old) {
                                 struct stat oldStat;
                                 if (::fstat(old, &oldStat) == 0 && oldStat.st_nlink > 0)
                                     return false;
                                 ::close(old);
                                 return true;
                             }),
              fds.end());
    fds.prepend(fd);
    return {};
}

SettingsFile::Tidied SettingsFile::tidyUp()
{
    Tidied tidied;
    const QString target = resolve(m_path);
    const QFileInfo info(target);
    // Only the holder of the instance lock calls this: no other write of this file can be under way.
    QDir folder(info.absolutePath());
    const uid_t self = ::geteuid();
    // Every name compared as it is: a wildcard would take the file's own name for a pattern.
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        struct stat st;
        if (!isTemporaryName(info.fileName(), name) || ::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != self)
            continue;
        if (::unlink(path.constData()) == 0)
            ++tidied.leftoversRemoved;
        else
            tidied.error = QStringLiteral("%1 cannot be removed: %2").arg(folder.filePath(name), systemError(errno));
    }
    const Snapshot& current = load();
    if (!current.exists || !current.text || !(current.mode & 077) || !holdsSecret(*current.text))
        return tidied;
    if (::chmod(QFile::encodeName(target).constData(), current.mode & ~mode_t(077)) != 0) {
        tidied.error = QStringLiteral("%1 cannot be made private: %2").arg(target, systemError(errno));
        return tidied;
    }
    tidied.madePrivate = true;
    m_snapshot.reset(); // its mode changed
    return tidied;
}
