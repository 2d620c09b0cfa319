#include "platform/NetworkChangeMonitor.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcNetworkChange, "vistrel.networkchange", QtInfoMsg)

NetworkChangeMonitor::NetworkChangeMonitor(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(DefaultSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &NetworkChangeMonitor::changed);
}

// The system's event source is a child of this object and goes with it.
NetworkChangeMonitor::~NetworkChangeMonitor() = default;

void NetworkChangeMonitor::settle()
{
    // Restarted by every event of a burst, so a burst gives one signal; but never put off past
    // MaxDelayMs from the burst's first event, so a stream of events cannot hold the signal back.
    if (!m_settle.isActive())
        m_burst.start();
    else if (m_burst.elapsed() + m_settle.interval() > MaxDelayMs)
        return;
    m_settle.start();
}

void NetworkChangeMonitor::prepareForSleep(bool sleeping)
{
    if (!sleeping) {
        qCDebug(lcNetworkChange) << "resumed from sleep";
        settle();
    }
}
