#include "NginxPeer.h"

#include <QFile>
#include <QThread>

bool NginxPeer::start(QString* error)
{
    if (!m_root.isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    if (!m_process.start(QStringLiteral("nginx_peer.py"), {QStringLiteral("--root"), m_root.path()}, error))
        return false;
    m_port = m_process.readyField(QStringLiteral("PORT")).toUShort();
    m_logPath = m_process.readyField(QStringLiteral("LOG"));
    return m_port != 0;
}

QUrl NginxPeer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

void NginxPeer::setBody(const QString& name, const QByteArray& content)
{
    QFile file(m_root.filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

QStringList NginxPeer::accessLog() const
{
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
