#pragma once

#include "PeerProcess.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

/// nginx on 127.0.0.1 serving the address service, the files of a temporary folder under /body/ and
/// "ok" under /hook/, with each request logged (URI, agent, Cache-Control, Pragma).
class NginxPeer
{
public:
    [[nodiscard]] bool start(QString* error);

    quint16 port() const { return m_port; }
    QUrl url(const QString& path) const;
    /// Puts a file that the server gives out as /body/@p name.
    void setBody(const QString& name, const QByteArray& content);
    /// The logged requests, one tab-separated line each, oldest first.
    QStringList accessLog() const;

private:
    QTemporaryDir m_root;
    PeerProcess m_process;
    quint16 m_port = 0;
    QString m_logPath;
};
