#include "desktop/FileExists.h"

#include <QDir>
#include <QFileInfo>

QString findExistingFile(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = slash < 0 ? path : path.mid(slash + 1);
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        return QString();
    const QString folder = slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : path.left(slash));

    // Prefer the name as written; a file system that tells letter cases apart may hold only another spelling.
    const QFileInfo exact(QDir(folder), name);
    if (exact.isFile() && !exact.isHidden())
        return exact.filePath();
    const QDir dir(folder);
    if (!dir.exists())
        return QString();
    const QFileInfoList entries = dir.entryInfoList(QDir::Files, QDir::Name);  // no hidden files, no folders
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return entry.filePath();
    }
    return QString();
}

bool FileExists(const QString& path)
{
    return !findExistingFile(path).isEmpty();
}
