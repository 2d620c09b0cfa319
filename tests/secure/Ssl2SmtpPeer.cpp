#include "Ssl2SmtpPeer.h"

#include "PeerProcess.h"

#include <QDeadlineTimer>
#include <QtTest>

Ssl2SmtpPeer::~Ssl2SmtpPeer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool Ssl2SmtpPeer::start(QString* error)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {PeerProcess::peerPath(QStringLiteral("ssl2_smtp_peer.py")), QStringLiteral("--lifetime"),
                     QStringLiteral("300")});
    if (!m_process.waitForStarted(10000)) {
        *error = m_process.errorString();
        return false;
    }
    QDeadlineTimer deadline(30000);
    while (!m_process.canReadLine() && !deadline.hasExpired() && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(200);
    const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
    if (!line.startsWith(QLatin1String("READY"))) {
        *error = QStringLiteral("ssl2_smtp_peer.py did not start: %1 %2")
                     .arg(line, QString::fromLocal8Bit(m_process.readAllStandardError()));
        return false;
    }
    m_ready = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return true;
}

QString Ssl2SmtpPeer::field(const QString& key) const
{
    const auto at = m_ready.indexOf(key);
    return at >= 0 && at + 1 < m_ready.size() ? m_ready.at(at + 1) : QString();
}

quint16 Ssl2SmtpPeer::port(const QString& behaviour) const
{
    return quint16(field(behaviour).toUInt());
}

QStringList Ssl2SmtpPeer::lines()
{
    while (m_process.canReadLine())
        m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
    return m_lines;
}

QString Ssl2SmtpPeer::takeLine(const QString& prefix, int ms)
{
    QDeadlineTimer deadline(ms);
    for (;;) {
        const QStringList all = lines();
        for (int i = 0; i < all.size(); ++i) {
            if (all.at(i).startsWith(prefix))
                return m_lines.takeAt(i);
        }
        if (deadline.hasExpired())
            return {};
        // Let the client's own sockets run while waiting for the peer.
        QTest::qWait(20);
    }
}
