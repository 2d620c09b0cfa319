#pragma once

#include "PeerProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

/// nginx on 127.0.0.1 (tests/peers/nginx_peer.py): the address service, the files of a temporary folder
/// under /body/, "ok" under /hook/, and every request logged (URI, agent, Cache-Control, Pragma).
class NginxPeer
{
public:
    [[nodiscard]] bool start(QString* error)
    {
        return m_process.start(QStringLiteral("nginx_peer.py"), {QStringLiteral("--root"), m_root.path()}, error);
    }
    [[nodiscard]] bool start() { return m_process.start(QStringLiteral("nginx_peer.py"), {"--root", m_root.path()}); }
    QString error() const { return m_process.error(); }
    quint16 port() const { return m_process.port(); }
    QUrl url(const QString& path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path)); }
    /// Puts a file that the server gives out as /body/@p name.
    void setBody(const QString& name, const QByteArray& content)
    {
        QFile file(m_root.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }
    /// The logged requests, one tab-separated line each, oldest first; @p field "CAPTURE": those under /capture/
    /// and /answer/ (method, URI, Content-Type, Authorization, Title, body).
    QStringList accessLog(const char* field = "LOG") const
    {
        QFile file(m_process.readyField(QLatin1String(field)));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }

private:
    QTemporaryDir m_root;
    PeerProcess m_process;
};
