#include "platform/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The stored spelling of @p key in @p section, or @p key itself when no spelling of it is stored.
QString storedKey(QSettings& settings, const QString& key)
{
    const QStringList keys = settings.childKeys();
    for (const QString& candidate : keys) {
        if (candidate.compare(key, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return key;
}

// Creates the file empty with mode 0600 if it does not exist yet. QSettings writes through a
// temporary file that takes over the permissions of the file it replaces, so this is enough.
bool createPrivateFile(const QString& path, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno == EEXIST)
        return true;
    if (error)
        *error = QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
    return false;
}

} // namespace

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

QString SettingsFile::defaultPath(const QString& applicationName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + applicationName +
           QStringLiteral(".conf");
}

QString SettingsFile::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    if (!QFileInfo::exists(m_path))
        return defaultValue;
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(section);
    const QVariant value = settings.value(storedKey(settings, key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value may parse as a list ("a, b"); it is read back as the text it was.
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool SettingsFile::write(const QString& section, const QString& key, const QString& value, QString* error)
{
    if (!createPrivateFile(m_path, error))
        return false;
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(section);
    settings.setValue(storedKey(settings, key), value);
    settings.endGroup();
    settings.sync();
    if (settings.status() == QSettings::AccessError) {
        if (error)
            *error = QStringLiteral("cannot write %1").arg(m_path);
        return false;
    }
    return true;
}
