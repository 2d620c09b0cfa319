#include "platform/SettingsFile.h"

#include <QStandardPaths>

// The file's reading, writing and locking are the system's: see the platform's folder.

QString SettingsFile::defaultPath(const QString& applicationName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           applicationName + QStringLiteral(".conf");
}

QString SettingsFile::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    return value(section, key).value_or(defaultValue);
}
