#include "platform/FileAccess.h"

#include <QFile>

#include <sys/statvfs.h>
#include <unistd.h>

bool FileAccess::mayWrite(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

bool FileAccess::mayCreateIn(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

bool FileAccess::isFull(const QString& folder)
{
    struct statvfs room;
    return ::statvfs(QFile::encodeName(folder).constData(), &room) == 0 && (room.f_bavail == 0 || room.f_favail == 0);
}
