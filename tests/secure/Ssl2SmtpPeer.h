#pragma once

#include "PeerProcess.h"

#include <QStringList>

/// The SSL 2.0 mail peer tests/peers/ssl2_smtp_peer.py (scapy's SSL 2.0 server relaying to
/// aiosmtpd), one port per server behaviour, and the report lines it prints while it runs
/// ("MAIL ...", "CROSSCHECK ...", "FAIL ...", "CLOSED ..."). Stops when this object goes.
class Ssl2SmtpPeer
{
public:
    [[nodiscard]] bool start(QString* error);
    /// The port of the server with @p behaviour ("normal", "trickle", "bad_challenge", ...).
    quint16 port(const QString& behaviour) const { return m_process.readyField(behaviour).toUShort(); }

    /// Report lines printed so far and not yet taken.
    QStringList lines()
    {
        m_lines << m_process.readLines();
        return m_lines;
    }
    /// Drops the report lines printed so far.
    void discardLines()
    {
        lines();
        m_lines.clear();
    }
    /// Takes the first report line starting with @p prefix, waiting up to @p ms for it; empty if none.
    QString takeLine(const QString& prefix, int ms = 5000);

private:
    PeerProcess m_process;
    QStringList m_lines;
};
