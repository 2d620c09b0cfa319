#include "discovery/DnsSource.h"

#include "discovery/DiscoveryLog.h"

#include <ares.h>

#include <mutex>

namespace {

void initialiseAres()
{
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

} // namespace

DnsSource::DnsSource(const QHostAddress& server, quint16 port, const DnsQuestion& question, QString uri,
                     QObject* parent)
    : AddressSource(std::move(uri), parent), m_server(server), m_port(port), m_question(question)
{
    m_aresTimer.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_aresTimer, &QTimer::timeout, this, [this] { process(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });
    connect(&m_deadline, &QTimer::timeout, this,
            [this] { finishLater(false, {}, QStringLiteral("no answer within %1 ms").arg(m_deadline.interval())); });
}

DnsSource::~DnsSource()
{
    cancel();
}

void DnsSource::start(int timeoutMs)
{
    cancel();
    initialiseAres();
    beginQuery();
    m_deadline.start(timeoutMs);

    ares_options options{};
    // Straight to the one server: no search domains, no host aliases; a truncated or failing reply is read
    // (and refused) here rather than retried over TCP or on another server.
    options.flags = ARES_FLAG_NOSEARCH | ARES_FLAG_NOALIASES | ARES_FLAG_IGNTC | ARES_FLAG_NOCHECKRESP;
    options.tries = 2; // sent at 0 and after a third of the time, the second try waits twice as long
    options.timeout = std::max(100, timeoutMs / 3);
    options.sock_state_cb = [](void* data, ares_socket_t fd, int readable, int writable) {
        static_cast<DnsSource*>(data)->onSocketState(qintptr(fd), readable != 0, writable != 0);
    };
    options.sock_state_cb_data = this;
    const int mask = ARES_OPT_FLAGS | ARES_OPT_TRIES | ARES_OPT_TIMEOUTMS | ARES_OPT_SOCK_STATE_CB;
    int status = ares_init_options(&m_channel, &options, mask);
    if (status != ARES_SUCCESS) {
        m_channel = nullptr;
        finishLater(false, {}, QStringLiteral("DNS resolver not available: %1").arg(ares_strerror(status)));
        return;
    }
    const QString server = m_server.protocol() == QAbstractSocket::IPv6Protocol
                               ? QStringLiteral("[%1]:%2").arg(m_server.toString()).arg(m_port)
                               : QStringLiteral("%1:%2").arg(m_server.toString()).arg(m_port);
    status = ares_set_servers_ports_csv(m_channel, server.toLatin1().constData());
    if (status != ARES_SUCCESS) {
        finishLater(false, {}, QStringLiteral("DNS server %1 not usable: %2").arg(server, ares_strerror(status)));
        return;
    }
    unsigned char* query = nullptr;
    int queryLength = 0;
    status = ares_create_query(m_question.name.constData(), m_question.dnsClass, m_question.type, 0, 1, &query,
                               &queryLength, 0);
    if (status != ARES_SUCCESS) {
        finishLater(false, {}, QStringLiteral("cannot ask for this name: %1").arg(ares_strerror(status)));
        return;
    }
    ares_send(m_channel, query, queryLength, &DnsSource::replyCallback, this);
    ares_free_string(query);
    scheduleTimer();
}

void DnsSource::cancel()
{
    abandonQuery();
    haltQuery();
    destroyChannel();
}

void DnsSource::haltQuery()
{
    m_deadline.stop();
    m_aresTimer.stop();
}

void DnsSource::releaseQuery()
{
    // c-ares may have been inside ares_send or ares_process_fd when the query ended: the channel goes only now.
    destroyChannel();
}

void DnsSource::destroyChannel()
{
    if (!m_channel)
        return;
    ares_channeldata* channel = m_channel;
    m_channel = nullptr; // the callbacks that ares_destroy makes see the source as stopped
    ares_destroy(channel);
    for (auto& [fd, notifiers] : m_notifiers) {
        for (auto* notifier : {notifiers.read.release(), notifiers.write.release()}) {
            if (notifier) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
    }
    m_notifiers.clear();
}

void DnsSource::onSocketState(qintptr fd, bool readable, bool writable)
{
    Notifiers& notifiers = m_notifiers[fd];
    // A notifier may be the one whose signal is being handled: it is disabled and deleted later.
    auto update = [this, fd](std::unique_ptr<QSocketNotifier>& notifier, QSocketNotifier::Type type, bool wanted) {
        if (wanted && !notifier) {
            notifier = std::make_unique<QSocketNotifier>(fd, type, this); // a child, so never leaked
            connect(notifier.get(), &QSocketNotifier::activated, this, [this, fd, type] {
                if (type == QSocketNotifier::Read)
                    process(fd, ARES_SOCKET_BAD);
                else
                    process(ARES_SOCKET_BAD, fd);
            });
        } else if (!wanted && notifier) {
            notifier->setEnabled(false);
            notifier.release()->deleteLater();
        }
    };
    update(notifiers.read, QSocketNotifier::Read, readable && m_channel);
    update(notifiers.write, QSocketNotifier::Write, writable && m_channel);
    if (!notifiers.read && !notifiers.write)
        m_notifiers.erase(fd);
}

void DnsSource::process(qintptr readFd, qintptr writeFd)
{
    if (!m_channel)
        return;
    ares_process_fd(m_channel, ares_socket_t(readFd), ares_socket_t(writeFd));
    scheduleTimer();
}

void DnsSource::scheduleTimer()
{
    if (!m_channel || !isQueryRunning()) {
        m_aresTimer.stop();
        return;
    }
    timeval wait{};
    if (!ares_timeout(m_channel, nullptr, &wait)) {
        m_aresTimer.stop();
        return;
    }
    m_aresTimer.start(static_cast<int>(wait.tv_sec * 1000 + (wait.tv_usec + 999) / 1000));
}

void DnsSource::replyCallback(void* arg, int status, int, unsigned char* abuf, int alen)
{
    static_cast<DnsSource*>(arg)->onReply(status, abuf, alen);
}

void DnsSource::onReply(int status, const unsigned char* abuf, int alen)
{
    if (!isQueryRunning() || status == ARES_EDESTRUCTION || status == ARES_ECANCELLED)
        return;
    if (alen > 0)
        markReplied();
    if (status != ARES_SUCCESS) {
        finishLater(false, {}, QStringLiteral("no reply: %1").arg(QString::fromUtf8(ares_strerror(status))));
        return;
    }
    QString reason;
    const QByteArray reply(reinterpret_cast<const char*>(abuf), alen);
    const std::optional<QHostAddress> address = addressFromDnsReply(reply, m_question, &reason);
    finishLater(address.has_value(), address.value_or(QHostAddress()), reason);
}
