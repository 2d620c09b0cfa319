#pragma once

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

/// A test peer: a script under tests/peers/ run by Debian's /usr/bin/python3. It prints one ready line
/// ("PORT 1234 ...") and stops by itself when its standard input closes, so a test that dies leaves none.
/// Where VISTREL_PEER_LAUNCHER names tests/windows/peer_launcher.py (host:port), the launcher starts it and
/// the connection stands for its standard input and output.
class PeerProcess
{
public:
    ~PeerProcess() { stop(); }

    /// Starts tests/peers/@p script and waits for its ready line. False and @p error if it never comes.
    [[nodiscard]] bool start(const QString& script, const QStringList& args, QString* error)
    {
        const QString launcher = qEnvironmentVariable("VISTREL_PEER_LAUNCHER");
        if (launcher.isEmpty()) {
            m_process.start("/usr/bin/python3", QStringList{VISTREL_SOURCE_DIR "/tests/peers/" + script} + args);
        } else {
            m_io = &m_socket;
            m_socket.connectToHost(launcher.section(u':', 0, 0), launcher.section(u':', 1).toUShort());
            const QJsonArray command = QJsonArray::fromStringList(QStringList{script} + args);
            m_socket.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
        }
        const QDeadlineTimer deadline(30000);
        while (!m_io->canReadLine() && m_io->waitForReadyRead(int(deadline.remainingTime()))) {
        }
        m_readyLine = QString::fromUtf8(m_io->readLine()).trimmed();
        if (!m_readyLine.isEmpty() && !m_readyLine.startsWith(QLatin1String("FAILED")))
            return true;
        *error = QStringLiteral("%1 did not become ready (%2): %3")
                     .arg(script, m_io->errorString(), QString::fromLocal8Bit(m_process.readAllStandardError()));
        return false;
    }
    /// As above, with the reason in error().
    [[nodiscard]] bool start(const QString& script, const QStringList& args) { return start(script, args, &m_error); }
    QString error() const { return m_error; }
    /// The word after @p key in the ready line ("PORT 1234" → "1234").
    QString readyField(const QString& key) const
    {
        return (u' ' + m_readyLine).section(u' ' + key + u' ', 1, 1).section(u' ', 0, 0);
    }
    quint16 port() const { return readyField(QStringLiteral("PORT")).toUShort(); }
    /// The whole lines printed since the last call, without line ends, once nothing came for @p quietMs.
    QStringList readLines(int quietMs = 0)
    {
        while (quietMs > 0 && m_io->waitForReadyRead(quietMs)) {
        }
        QStringList lines;
        while (m_io->canReadLine())
            lines << QString::fromUtf8(m_io->readLine()).trimmed();
        return lines;
    }
    /// Stops the peer and returns everything it printed after the ready line.
    QByteArray stop()
    {
        if (m_io == &m_socket) {
            if (m_socket.state() == QAbstractSocket::ConnectedState) {
                m_socket.write("\n"); // the launcher closes the peer's standard input
                m_socket.waitForDisconnected(10000);
            }
            m_io = &m_process;
            return m_socket.readAll();
        }
        m_process.closeWriteChannel();
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
        return m_process.isOpen() ? m_process.readAllStandardOutput() : QByteArray(); // never started: nothing
    }

private:
    QProcess m_process;
    QTcpSocket m_socket;
    QIODevice* m_io = &m_process;
    QString m_readyLine;
    QString m_error;
};

/// A loopback port that was free a moment ago: nothing listens there.
inline quint16 unusedLocalPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

/// Runs `openssl @p args` to its end on this machine (tests/peers/openssl_peer.py, so that the Windows build, which
/// cannot start Linux programs, runs it too). True when it exited with status 0.
inline bool runOpenssl(const QStringList& args)
{
    PeerProcess openssl;
    return openssl.start(QStringLiteral("openssl_peer.py"), args) && openssl.readyField("STATUS") == u"0";
}

/// The standard output of `@p tool @p args` run to its end on this machine (tests/peers/tool_peer.py, as openssl
/// above), as lines without the empty ones, sorted.
inline QStringList runTool(const QString& tool, const QStringList& args)
{
    PeerProcess peer;
    QString error;
    QStringList lines;
    if (peer.start(QStringLiteral("tool_peer.py"), QStringList{tool} + args, &error))
        lines = QString::fromUtf8(peer.stop()).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}
