#include "platform/SettingsFile.h"

#include "platform/SettingsStorage.h"
#include "platform/windows/Registry.h"
#include "platform/windows/RegistryStore.h"
#include "platform/windows/SystemError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <windows.h>

// The default store is the registry (RegistryStore). A store named by a file (--config) is an INI file as on
// Linux, rewritten whole through a temporary file that replaces it. Files in the user's profile are private to the
// user by the folder's permissions, so no file gets permissions of its own here.

namespace SettingsStorage {

namespace {

// Six letters or digits, as SettingsFile::isTemporaryName expects after ".tmp-".
QString randomSuffix()
{
    static const char Characters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(Characters[QRandomGenerator::global()->bounded(int(sizeof(Characters) - 1))]);
    return suffix;
}

FileVersion versionFrom(const QFileInfo& info)
{
    FileVersion version;
    version.exists = true;
    version.size = info.size();
    version.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return version;
}

} // namespace

std::optional<FileVersion> versionOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? versionFrom(info) : FileVersion{};
}

FileRead readFile(const QString& path)
{
    FileRead got;
    const QFileInfo info(path);
    if (!info.exists()) {
        got.bytes = QByteArray();
        return got;
    }
    got.version = versionFrom(info);
    if (!info.isFile()) {
        got.error = QStringLiteral("it is not a regular file");
        return got;
    }
    if (info.size() > IniText::MaxBytes) {
        got.error = QStringLiteral("it is larger than 1 MiB");
        return got;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        got.error = QStringLiteral("it cannot be read (%1)").arg(file.errorString());
        return got;
    }
    // Never more than one byte past the limit (IniText refuses what is over it): the file may grow after it was
    // measured.
    got.bytes = file.read(IniText::MaxBytes + 1);
    return got;
}

StoreResult replaceFile(const QString& target, const QByteArray& bytes, const FileVersion&, bool,
                        std::optional<FileVersion>*)
{
    const auto wide = [](const QString& text) { return reinterpret_cast<LPCWSTR>(text.utf16()); };
    const auto failed = [&target](DWORD error) {
        return StoreResult{false, QStringLiteral("%1 cannot be written: %2").arg(target, systemErrorText(long(error)))};
    };
    // The temporary file has a name of its own (SettingsFile::isTemporaryName), so that tidyUp finds what a kill
    // left behind.
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
    // No version of the new file: a value of the same length written within the same millisecond would leave size
    // and time as they were, so the file is read again next time.
    return {};
}

Leftover removeLeftover(const QString& path, QString* error)
{
    if (QFileInfo(path).isSymLink())
        return Leftover::Kept;
    if (QFile::remove(path))
        return Leftover::Removed;
    *error = QStringLiteral("%1 cannot be removed").arg(path);
    return Leftover::Failed;
}

bool makePrivate(const QString&, const FileVersion&, QString*)
{
    return false; // the profile's folder keeps its files private
}

std::unique_ptr<KeyStore> keyStore(const QString& path)
{
    if (!RegistryStore::isRegistryPath(path))
        return nullptr;
    return std::make_unique<RegistryStore>(path);
}

} // namespace SettingsStorage

QString SettingsFile::defaultPath(const QString& applicationName)
{
    return Registry::CurrentUser + QStringLiteral("Software\\VB and VBA Program Settings\\") + applicationName;
}

bool SettingsFile::isFile(const QString& path)
{
    return !RegistryStore::isRegistryPath(path);
}

QString SettingsFile::instanceLockPath(const QString& path)
{
    if (isFile(path))
        return path + QStringLiteral(".instance.lock");
    // The registry has no folder to put it in: the program's folder of local data, named after the key.
    const QString program = path.section(QLatin1Char('\\'), -1);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + program +
           QStringLiteral("/Settings.instance.lock");
}

QString SettingsFile::resolve(const QString& path)
{
    if (!isFile(path))
        return path;
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath(); // links followed, when the file exists
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// The instance lock's file is the only lock: Windows programs do not reach one settings file through hard links.
SettingsFile::InodeLock SettingsFile::lockInode(const QString&, QString*)
{
    return InodeLock::Locked;
}

void SettingsFile::unlockInode(const QString&) {}
