#include "platform/NetworkChangeMonitor.h"

#include "platform/linux/DBusCalls.h"
#include "platform/linux/NetlinkMessages.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcNetworkChange)

namespace {

/// The NETLINK_ROUTE socket, read when the event loop says it has something; closed with this object.
class NetlinkSocket : public QObject
{
public:
    NetlinkSocket(int fd, std::function<void()> relevant, QObject* parent)
        : QObject(parent), m_fd(fd), m_relevant(std::move(relevant)), m_notifier(fd, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &NetlinkSocket::read);
    }
    ~NetlinkSocket() override
    {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }

private:
    void read()
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
            m_relevant();
    }

    int m_fd;
    std::function<void()> m_relevant;
    QSocketNotifier m_notifier;
};

} // namespace

bool NetworkChangeMonitor::start(QString* error)
{
    if (m_started)
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
    const auto relevant = [this] { settle(); };
    new NetlinkSocket(fd, relevant, this);
    m_started = true;

    QString noBus;
    const DBusCalls* calls = DBusCalls::load(&noBus);
    const bool resumeSubscribed = calls && calls->watchSleep(this, SLOT(prepareForSleep(bool)));
    qCDebug(lcNetworkChange) << "watching netlink; resume signal" << resumeSubscribed << noBus;
    return true;
}
