#include "PeerProcess.h"

#include <QElapsedTimer>
#include <QTcpServer>

PeerProcess::~PeerProcess()
{
    stop();
}

QString PeerProcess::peerPath(const QString& script)
{
    return QStringLiteral(VISTREL_SOURCE_DIR "/tests/peers/") + script;
}

bool PeerProcess::start(const QString& script, const QStringList& args, QString* error)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardOutput);
    m_process.start(QStringLiteral("/usr/bin/python3"), QStringList{peerPath(script)} + args);
    if (!m_process.waitForStarted(10000)) {
        *error = QStringLiteral("%1 did not start: %2").arg(script, m_process.errorString());
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine() && clock.elapsed() < 30000 && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(200);
    if (!m_process.canReadLine()) {
        *error = QStringLiteral("%1 never became ready: %2").arg(script, QString::fromLocal8Bit(m_process.readAllStandardError()));
        return false;
    }
    m_readyLine = QString::fromUtf8(m_process.readLine()).trimmed();
    if (m_readyLine.startsWith(QLatin1String("FAILED"))) {
        *error = QStringLiteral("%1 failed: %2").arg(script, QString::fromLocal8Bit(m_process.readAllStandardError()));
        return false;
    }
    return true;
}

QString PeerProcess::readyField(const QString& key) const
{
    const QStringList words = m_readyLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto at = words.indexOf(key);
    return at >= 0 && at + 1 < words.size() ? words.at(at + 1) : QString();
}

QByteArray PeerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.readAllStandardOutput();
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    return m_process.readAllStandardOutput();
}

QStringList PeerProcess::readLines(int quietMs)
{
    while (quietMs > 0 && m_process.waitForReadyRead(quietMs)) {
    }
    QStringList lines;
    while (m_process.canReadLine())
        lines << QString::fromUtf8(m_process.readLine()).trimmed();
    return lines;
}

quint16 unusedLocalPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}
