#include "nettools/DnsConverter.h"

#include "nettools/NetToolsLog.h"
#include "nettools/clsIPResolve.h"

#include <mutex>
#include <thread>

// The worker posts its result through the mailbox. The converter empties the mailbox before it goes
// away, under the same lock, so a worker that finishes late never posts to a destroyed object; the
// worker itself is detached, because a resolver that hangs must not hold up closing the program.
struct DnsConverter::Mailbox
{
    std::mutex mutex;
    DnsConverter* receiver = nullptr;
};

namespace {

QString lookUpWithNewResolver(DnsConverter::Direction direction, const QString& text)
{
    const clsIPResolve resolver;
    return direction == DnsConverter::Direction::AddressToName ? resolver.AddressToName(text)
                                                               : resolver.NameToAddress(text);
}

} // namespace

DnsConverter::DnsConverter(QObject* parent) : DnsConverter(&lookUpWithNewResolver, parent) {}

DnsConverter::DnsConverter(Lookup lookup, QObject* parent)
    : QObject(parent), m_lookup(std::move(lookup)), m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->receiver = this;
}

DnsConverter::~DnsConverter()
{
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->receiver = nullptr;
}

void DnsConverter::convert(Direction direction, const QString& text, Result done)
{
    const quint64 generation = ++m_generation;
    if (direction == Direction::AddressToName && !clsIPResolve::IsIPAddress(text)) {
        if (done)
            done(QString());
        return;
    }
    qCDebug(lcNetTools) << "conversion" << generation << "of" << text;
    std::thread([mailbox = m_mailbox, lookup = m_lookup, direction, text, generation, done = std::move(done)] {
        const QString result = lookup(direction, text);
        const std::lock_guard lock(mailbox->mutex);
        if (DnsConverter* receiver = mailbox->receiver) {
            QMetaObject::invokeMethod(
                receiver, [receiver, generation, result, done] { receiver->deliver(generation, result, done); },
                Qt::QueuedConnection);
        }
    }).detach();
}

void DnsConverter::cancelAll()
{
    ++m_generation;
}

void DnsConverter::deliver(quint64 generation, const QString& result, const Result& done)
{
    if (generation != m_generation) {
        qCDebug(lcNetTools) << "dropped the result of conversion" << generation << "(newer one asked for)";
        return;
    }
    if (done)
        done(result);
}
