#include "platform/SettingsFile.h"

#include "platform/windows/Registry.h"
#include "platform/windows/SystemError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <windows.h>

Q_LOGGING_CATEGORY(lcStore, "vistrel.settings")

// The default store is the registry: one key per section below the program's key, one REG_SZ per setting, where
// programs of this kind have always kept them. A store named by a file (--config) is an INI file as on Linux,
// rewritten whole through a temporary file that replaces it. Files in the user's profile are private to the user
// by the folder's permissions, so no file gets permissions of its own here.

namespace {

// Six letters or digits, as isTemporaryName expects after ".tmp-".
QString randomSuffix()
{
    static const char Characters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(Characters[QRandomGenerator::global()->bounded(int(sizeof(Characters) - 1))]);
    return suffix;
}

bool isRegistryPath(const QString& path)
{
    return path.startsWith(Registry::CurrentUser, Qt::CaseInsensitive);
}

// The key below HKEY_CURRENT_USER that holds @p section of the store at @p path.
QString sectionKey(const QString& path, const QString& section)
{
    return path.mid(Registry::CurrentUser.size()) + QLatin1Char('\\') + section;
}

} // namespace

struct SettingsFile::Snapshot
{
    bool exists = false;
    qint64 size = 0;
    QDateTime modified;
    std::optional<IniText> text; ///< nothing: the file is refused, see error
    QString error;

    bool sameFile(const QFileInfo& info) const
    {
        return exists == info.exists() && (!exists || (size == info.size() && modified == info.lastModified()));
    }

    static Snapshot read(const QString& path)
    {
        Snapshot snapshot;
        const QFileInfo info(path);
        if (!info.exists()) {
            snapshot.text = IniText();
            return snapshot;
        }
        snapshot.exists = true;
        snapshot.size = info.size();
        snapshot.modified = info.lastModified();
        if (!info.isFile()) {
            snapshot.error = QStringLiteral("it is not a regular file");
            return snapshot;
        }
        if (info.size() > IniText::MaxBytes) {
            snapshot.error = QStringLiteral("it is larger than 1 MiB");
            return snapshot;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            snapshot.error = QStringLiteral("it cannot be read (%1)").arg(file.errorString());
            return snapshot;
        }
        // Never more than one byte past the limit: the file may grow after it was measured.
        const QByteArray bytes = file.read(IniText::MaxBytes + 1);
        if (bytes.size() > IniText::MaxBytes) {
            snapshot.error = QStringLiteral("it is larger than 1 MiB");
            return snapshot;
        }
        snapshot.text = IniText::parse(bytes, &snapshot.error);
        return snapshot;
    }
};

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

SettingsFile::~SettingsFile() = default;

QString SettingsFile::defaultPath(const QString& applicationName)
{
    return Registry::CurrentUser + QStringLiteral("Software\\VB and VBA Program Settings\\") + applicationName;
}

bool SettingsFile::isFile(const QString& path)
{
    return !isRegistryPath(path);
}

QString SettingsFile::instanceLockPath(const QString& path)
{
    if (!isRegistryPath(path))
        return path + QStringLiteral(".instance.lock");
    // The registry has no folder to put it in: the program's folder of local data, named after the key.
    const QString program = path.section(QLatin1Char('\\'), -1);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + program +
           QStringLiteral("/Settings.instance.lock");
}

QString SettingsFile::resolve(const QString& path)
{
    if (isRegistryPath(path))
        return path;
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath(); // links followed, when the file exists
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

bool SettingsFile::check(const QString& path, QString* error)
{
    if (isRegistryPath(path))
        return true;
    const Snapshot snapshot = Snapshot::read(path);
    if (!snapshot.text && error)
        *error = snapshot.error;
    return snapshot.text.has_value();
}

// The instance lock's file is the only lock: Windows programs do not reach one settings file through hard links.
SettingsFile::InodeLock SettingsFile::lockInode(const QString&, QString*)
{
    return InodeLock::Locked;
}

void SettingsFile::unlockInode(const QString&) {}

const SettingsFile::Snapshot& SettingsFile::load() const
{
    const QFileInfo info(m_path);
    if (!m_snapshot || !m_snapshot->sameFile(info)) {
        m_snapshot = std::make_unique<Snapshot>(Snapshot::read(m_path));
        if (!m_snapshot->text)
            qCWarning(lcStore) << "settings file" << m_path << "refused:" << m_snapshot->error;
    }
    return *m_snapshot;
}

std::optional<QString> SettingsFile::value(const QString& section, const QString& key) const
{
    if (isRegistryPath(m_path))
        return Registry::readText(sectionKey(m_path, section), key);
    const Snapshot& snapshot = load();
    if (!snapshot.text)
        return std::nullopt;
    return snapshot.text->value(section, key);
}

StoreResult SettingsFile::write(const QString& section, const QList<std::pair<QString, QString>>& values)
{
    if (isRegistryPath(m_path)) {
        // One value at a time, in the order given: the registry has no write of several values at once, so a crash
        // may leave the first ones written and not the rest.
        for (const auto& [key, value] : values) {
            if (Registry::readText(sectionKey(m_path, section), key) == value)
                continue;
            QString error;
            if (!Registry::writeText(sectionKey(m_path, section), key, value, &error))
                return {false, error};
        }
        return {};
    }
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
    QDir().mkpath(QFileInfo(target).absolutePath());
    const QByteArray bytes = text.toBytes();
    const auto wide = [](const QString& text) { return reinterpret_cast<LPCWSTR>(text.utf16()); };
    const auto failed = [&target](DWORD error) {
        return StoreResult{false, QStringLiteral("%1 cannot be written: %2").arg(target, systemErrorText(long(error)))};
    };
    // The temporary file has a name of its own (isTemporaryName), so that tidyUp finds what a kill left behind.
    QString temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 8 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = QDir::toNativeSeparators(target) + QStringLiteral(".tmp-") + randomSuffix();
        handle = ::CreateFileW(wide(temporary), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return failed(::GetLastError());
    }
    if (handle == INVALID_HANDLE_VALUE)
        return failed(ERROR_FILE_EXISTS);
    DWORD written = 0;
    const bool stored = ::WriteFile(handle, bytes.constData(), DWORD(bytes.size()), &written, nullptr) &&
                        written == DWORD(bytes.size()) && ::FlushFileBuffers(handle);
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    if (!stored || !::MoveFileExW(wide(temporary), wide(QDir::toNativeSeparators(target)),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD cause = stored ? ::GetLastError() : error;
        ::DeleteFileW(wide(temporary));
        return failed(cause);
    }
    // Read again next time: a value of the same length written within the same millisecond would leave size and
    // time as they were.
    m_snapshot.reset();
    return {};
}

SettingsFile::Tidied SettingsFile::tidyUp()
{
    Tidied tidied;
    if (isRegistryPath(m_path))
        return tidied;
    // write()'s temporary file (isTemporaryName). Only the instance lock's holder calls this.
    const QFileInfo info(resolve(m_path));
    QDir folder(info.absolutePath());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!isTemporaryName(info.fileName(), name) || QFileInfo(folder.filePath(name)).isSymLink())
            continue;
        if (folder.remove(name))
            ++tidied.leftoversRemoved;
        else
            tidied.error = QStringLiteral("%1 cannot be removed").arg(folder.filePath(name));
    }
    return tidied;
}
