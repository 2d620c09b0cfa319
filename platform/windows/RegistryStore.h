#pragma once

#include "platform/SettingsStorage.h"

/// The settings in the registry: below the key the store's path names (HKEY_CURRENT_USER\...), one key per
/// section and one REG_SZ per setting, where programs of this kind have always kept them.
class RegistryStore : public SettingsStorage::KeyStore
{
public:
    explicit RegistryStore(QString path);

    /// Whether @p path names a registry key rather than a file.
    static bool isRegistryPath(const QString& path);

    std::optional<QString> value(const QString& section, const QString& key) const override;
    /// Reaches the disk before it returns.
    StoreResult write(const QString& section, const QString& key, const QString& value) override;

private:
    /// The key below HKEY_CURRENT_USER that holds @p section.
    QString sectionKey(const QString& section) const;

    QString m_key; ///< below HKEY_CURRENT_USER
};
