#include "TempConfigHome.h"

#include <QFile>

TempConfigHome::TempConfigHome()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
}

QString TempConfigHome::settingsPath() const
{
    return m_dir.filePath(QStringLiteral("Tarnwick IP Vistrel.conf"));
}

QByteArray TempConfigHome::settingsFileBytes() const
{
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TempConfigHome::writeSettingsFile(const QByteArray& bytes) const
{
    QFile file(settingsPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}
