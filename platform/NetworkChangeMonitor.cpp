#include "platform/NetworkChangeMonitor.h"

#include "platform/NetlinkMessages.h"

#include <QDBusConnection>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcNetworkChange, "vistrel.networkchange", QtInfoMsg)

NetworkChangeMonitor::NetworkChangeMonitor(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(DefaultSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &NetworkChangeMonitor::changed);
}

NetworkChangeMonitor::~NetworkChangeMonitor()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

bool NetworkChangeMonitor::start(QString* error)
{
    if (m_fd >= 0)
        return true;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) {
        *error = QStringLiteral("netlink socket: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        *error = QStringLiteral("netlink bind: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &NetworkChangeMonitor::readNetlink);

    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected()) {
        m_resumeSubscribed =
            bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                        SLOT(prepareForSleep(bool)));
    }
    qCDebug(lcNetworkChange) << "watching netlink; resume signal" << m_resumeSubscribed;
    return true;
}

void NetworkChangeMonitor::readNetlink()
{
    // Drain every queued datagram: the notifier is level-triggered and would fire again at once.
    alignas(nlmsghdr) char buffer[16384];
    bool relevant = false;
    for (;;) {
        const ssize_t got = ::recv(m_fd, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // ENOBUFS: the kernel dropped notifications because we were slow; something changed.
            if (errno == ENOBUFS)
                relevant = true;
            break;
        }
        if (got == 0)
            break;
        const NetlinkSummary summary = walkNetlinkMessages(buffer, static_cast<std::size_t>(got));
        if (summary.malformed)
            qCWarning(lcNetworkChange) << "malformed netlink datagram of" << got << "bytes";
        relevant = relevant || summary.addressOrRoute || summary.overrun;
    }
    if (relevant)
        settle();
}

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
