#include "platform/SettingsFile.h"

// The file's reading, writing and locking are the system's: see the platform's folder.

QString SettingsFile::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    return value(section, key).value_or(defaultValue);
}
