#include "Ssl2SmtpPeer.h"

#include <QDeadlineTimer>
#include <QtTest>

bool Ssl2SmtpPeer::start(QString* error)
{
    if (!m_process.start(QStringLiteral("ssl2_smtp_peer.py"), {QStringLiteral("--lifetime"), QStringLiteral("300")},
                         error))
        return false;
    if (m_process.readyLine().startsWith(QLatin1String("READY")))
        return true;
    *error = QStringLiteral("ssl2_smtp_peer.py did not start: ") + m_process.readyLine();
    return false;
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
