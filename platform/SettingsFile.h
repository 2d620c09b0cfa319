#pragma once

#include <QString>

/// The per-user store of named text values, kept in one INI file.
///
/// Keys are found without regard to case; every write reaches the disk before it returns, through a
/// temporary file renamed over the old one, so a crash never leaves a torn file. The file is created
/// readable by its owner only, since it holds the mail password.
class SettingsFile
{
public:
    explicit SettingsFile(QString path);

    /// `$XDG_CONFIG_HOME/<applicationName>.conf` (`~/.config/` when the variable is unset).
    static QString defaultPath(const QString& applicationName);

    const QString& path() const { return m_path; }

    /// The stored text, or @p defaultValue when the key or its section does not exist.
    QString read(const QString& section, const QString& key, const QString& defaultValue) const;

    /// Creates or overwrites the value. Returns false and fills @p error when the file could not be written.
    bool write(const QString& section, const QString& key, const QString& value, QString* error = nullptr);

private:
    QString m_path;
};
