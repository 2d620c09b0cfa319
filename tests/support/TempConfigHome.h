#pragma once

#include <QString>
#include <QTemporaryDir>

/// A fresh, empty XDG_CONFIG_HOME for one test, so no test touches the user's own settings.
class TempConfigHome
{
public:
    TempConfigHome();
    QString path() const { return m_dir.path(); }
    /// The settings file the program uses under this folder.
    QString settingsPath() const;
    /// The settings file's bytes as they are on disk.
    QByteArray settingsFileBytes() const;
    void writeSettingsFile(const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};
