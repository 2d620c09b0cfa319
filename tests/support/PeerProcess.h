#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

/// A test peer: a script started with Debian's /usr/bin/python3 that prints one line when it is ready
/// and stops by itself when its standard input closes, so a test that dies never leaves it behind.
class PeerProcess
{
public:
    PeerProcess() = default;
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;
    ~PeerProcess();

    /// Starts tests/peers/@p script and waits for its ready line. False and @p error if it never comes.
    [[nodiscard]] bool start(const QString& script, const QStringList& args, QString* error);
    /// The ready line, without its line end.
    const QString& readyLine() const { return m_readyLine; }
    /// The word after @p key in the ready line ("PORT 1234 ..." → "1234").
    QString readyField(const QString& key) const;
    quint16 port() const { return readyField(QStringLiteral("PORT")).toUShort(); }
    /// The whole lines printed since the last call (after the ready line), without their line ends;
    /// first waits until nothing more has come for @p quietMs.
    QStringList readLines(int quietMs = 0);
    /// Stops the peer and returns everything it printed after the ready line.
    QByteArray stop();

    static QString peerPath(const QString& script);

private:
    QProcess m_process;
    QString m_readyLine;
};

/// A loopback port that was free a moment ago: nothing listens there.
quint16 unusedLocalPort();
