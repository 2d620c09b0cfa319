#include "platform/windows/RegistryStore.h"

#include "platform/SettingsFile.h"
#include "platform/windows/Registry.h"

RegistryStore::RegistryStore(QString path) : m_key(path.mid(Registry::CurrentUser.size())) {}

bool RegistryStore::isRegistryPath(const QString& path)
{
    return path.startsWith(Registry::CurrentUser, Qt::CaseInsensitive);
}

QString RegistryStore::sectionKey(const QString& section) const
{
    return m_key + QLatin1Char('\\') + section;
}

std::optional<QString> RegistryStore::value(const QString& section, const QString& key) const
{
    return Registry::readText(sectionKey(section), key);
}

StoreResult RegistryStore::write(const QString& section, const QString& key, const QString& value)
{
    QString error;
    if (!Registry::writeText(sectionKey(section), key, value, &error))
        return {false, error};
    return {};
}
