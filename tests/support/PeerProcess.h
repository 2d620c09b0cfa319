#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>

/// A test peer: a script under tests/peers/ run by Debian's /usr/bin/python3. It prints one ready line
/// ("PORT 1234 ...") and stops by itself when its standard input closes, so a test that dies leaves none.
class PeerProcess
{
public:
    ~PeerProcess() { stop(); }

    /// Starts tests/peers/@p script and waits for its ready line. False and @p error if it never comes.
    [[nodiscard]] bool start(const QString& script, const QStringList& args, QString* error)
    {
        m_process.start("/usr/bin/python3", QStringList{VISTREL_SOURCE_DIR "/tests/peers/" + script} + args);
        const QDeadlineTimer deadline(30000);
        while (!m_process.canReadLine() && m_process.waitForReadyRead(int(deadline.remainingTime()))) {
        }
        m_readyLine = QString::fromUtf8(m_process.readLine()).trimmed();
        if (!m_readyLine.isEmpty() && !m_readyLine.startsWith(QLatin1String("FAILED")))
            return true;
        *error = QStringLiteral("%1 did not become ready (%2): %3")
                     .arg(script, m_process.errorString(), QString::fromLocal8Bit(m_process.readAllStandardError()));
        return false;
    }
    /// The word after @p key in the ready line ("PORT 1234" → "1234").
    QString readyField(const QString& key) const
    {
        return (u' ' + m_readyLine).section(u' ' + key + u' ', 1, 1).section(u' ', 0, 0);
    }
    quint16 port() const { return readyField(QStringLiteral("PORT")).toUShort(); }
    /// The whole lines printed since the last call, without line ends, once nothing came for @p quietMs.
    QStringList readLines(int quietMs = 0)
    {
        while (quietMs > 0 && m_process.waitForReadyRead(quietMs)) {
        }
        QStringList lines;
        while (m_process.canReadLine())
            lines << QString::fromUtf8(m_process.readLine()).trimmed();
        return lines;
    }
    /// Stops the peer and returns everything it printed after the ready line.
    QByteArray stop()
    {
        m_process.closeWriteChannel();
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
        return m_process.isOpen() ? m_process.readAllStandardOutput() : QByteArray(); // never started: nothing
    }

private:
    QProcess m_process;
    QString m_readyLine;
};

/// A loopback port that was free a moment ago: nothing listens there.
inline quint16 unusedLocalPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}
