#pragma once

#include <QFile>
#include <QTemporaryDir>

/// A fresh, empty XDG_CONFIG_HOME for one test, so no test touches the user's own settings.
class TempConfigHome
{
public:
    TempConfigHome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path())); }
    QString path() const { return m_dir.path(); }
    /// The settings file the program uses under this folder.
    QString settingsPath() const { return m_dir.filePath(QStringLiteral("Tarnwick IP Vistrel.conf")); }
    void writeSettingsFile(const QByteArray& bytes) const
    {
        QFile file(settingsPath());
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

private:
    QTemporaryDir m_dir;
};
