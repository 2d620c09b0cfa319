#include "dnsupdate/DnsUpdateNotifier.h"

#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"

#include <QHostInfo>
#include <QLoggingCategory>

#include <utility>

Q_LOGGING_CATEGORY(logDnsUpdate, "vistrel.dnsupdate")

namespace {
QString typeName(int type)
{
    return type == DnsMessages::TypeAaaa ? QStringLiteral("AAAA") : QStringLiteral("A");
}

QStringList allAddresses(const QList<RecordSet>& sets)
{
    QStringList addresses;
    for (const RecordSet& set : sets)
        addresses << set.addresses;
    return addresses;
}
} // namespace

DnsUpdateNotifier::DnsUpdateNotifier(NotificationHost& host, PasswordStore* secret, QObject* parent)
    : QObject(parent), m_host(host), m_secret(secret), m_exchange(this)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(DefaultTotalTimeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        stopExchanges();
        fail(QStringLiteral("timed out: the update did not end within %1 seconds").arg(m_deadline.interval() / 1000.0));
    });
}

void DnsUpdateNotifier::setState(State state)
{
    qCDebug(logDnsUpdate) << "state" << int(m_state) << "->" << int(state);
    m_state = state;
}

void DnsUpdateNotifier::send(Notifiers::Done done)
{
    if (m_state != State::Idle || m_done) {
        // The update under way goes on with its own report; this one did not go out.
        const QString busy = QStringLiteral("Error: DNS update: one is already under way");
        m_host.setStatus(busy);
        if (done)
            done(NotificationResult::failed(busy));
        return;
    }
    m_done = std::move(done);
    if (m_secret && !m_secret->isReady()) {
        // Asked for before the keyring answered: the update starts once the secret is known.
        m_secret->whenReady(this, [this] {
            if (m_done && m_state == State::Idle)
                start();
        });
        return;
    }
    start();
}

void DnsUpdateNotifier::start()
{
    Settings& settings = m_host.settings();
    m_key = {settings.read(Key::DnsUpdateKeyName),
             m_secret ? m_secret->password() : settings.read(Key::DnsUpdateKeySecret),
             settings.read(Key::DnsUpdateAlgorithm)};
    m_plan = {settings.read(Key::DnsUpdateZone).trimmed(),
              settings.read(Key::DnsUpdateName).trimmed(),
              settings.readInt(Key::DnsUpdateTtl),
              {},
              {}};
    if (m_plan.name.isEmpty())
        m_plan.name = m_plan.zone; // the zone's own name
    m_port = quint16(settings.readInt(Key::DnsUpdatePort));
    const QString server = settings.read(Key::DnsUpdateServer).trimmed();
    if (server.isEmpty() || m_plan.zone.isEmpty() || m_key.name.trimmed().isEmpty())
        return fail(QStringLiteral("the server, the zone and the key name are needed"));
    if (QString error;
        !DnsMessages::checkName(m_plan.zone, m_plan.name, &error) || !DnsMessages::checkKey(m_key, &error))
        return fail(error);

    m_wanted.clear();
    const QHostAddress v4(m_host.externalAddress());
    if (v4.protocol() == QAbstractSocket::IPv4Protocol)
        m_wanted.append({DnsMessages::TypeA, {v4.toString()}});
    const QHostAddress v6(m_host.externalIPv6Address());
    if (v6.protocol() == QAbstractSocket::IPv6Protocol)
        m_wanted.append({DnsMessages::TypeAaaa, {v6.toString()}});
    if (m_wanted.isEmpty())
        return fail(QStringLiteral("there is no external address to set"));
    if (settings.read(Key::DnsUpdateLastSet) == lastSetText()) {
        return succeed(QStringLiteral("%1 was set to %2 by the last update: nothing sent")
                           .arg(m_plan.name, allAddresses(m_wanted).join(QStringLiteral(", "))));
    }

    setState(State::Resolving);
    m_deadline.start();
    m_host.setStatus(QStringLiteral("DNS update: asking %1 for %2...").arg(server, m_plan.name));
    const QHostAddress literal(server);
    if (!literal.isNull())
        return serverFound(literal);
    m_lookup = QHostInfo::lookupHost(server, this, [this, server](const QHostInfo& info) {
        m_lookup = -1;
        if (info.addresses().isEmpty())
            return fail(QStringLiteral("the server %1 was not found (%2)").arg(server, info.errorString()));
        serverFound(info.addresses().first());
    });
}

void DnsUpdateNotifier::serverFound(const QHostAddress& server)
{
    m_server = server;
    m_reading = 0;
    setState(State::Reading);
    readNext();
}

void DnsUpdateNotifier::readNext()
{
    DnsRequest query;
    if (QString error; !DnsMessages::buildQuery(m_plan.name, m_wanted[m_reading].type, m_key, &query, &error))
        return fail(error);
    m_exchange.start(m_server, m_port, query, m_key, m_timeoutMs,
                     [this](const DnsAnswer& answer, const QString& failure) { recordRead(answer, failure); });
}

QString DnsUpdateNotifier::failureText(const DnsAnswer& answer, const QString& failure) const
{
    // A server cannot sign BADSIG or BADKEY (RFC 8945 5.3.2): what it says helps, but stays unverified.
    if (answer.verdict != DnsAnswer::Verdict::BadSignature || answer.tsigError == 0)
        return failure;
    return failure + QStringLiteral("; unverified, it says ") + DnsMessages::rcodeText(answer, m_plan.zone, m_key.name);
}

void DnsUpdateNotifier::recordRead(const DnsAnswer& answer, const QString& failure)
{
    const RecordSet& wanted = m_wanted[m_reading];
    if (answer.verdict == DnsAnswer::Verdict::BadSignature)
        return fail(QStringLiteral("reading the %1 record: ").arg(typeName(wanted.type)) +
                    failureText(answer, failure));
    if (!failure.isEmpty())
        return fail(failure);
    // NXDOMAIN: the name has no records at all yet.
    if (answer.rcode != 0 && answer.rcode != 3) {
        return fail(QStringLiteral("reading the %1 record: %2")
                        .arg(typeName(wanted.type), DnsMessages::rcodeText(answer, m_plan.zone, m_key.name)));
    }
    if (answer.addresses != wanted.addresses) {
        m_plan.before.append({wanted.type, answer.addresses});
        m_plan.after.append(wanted);
    }
    if (++m_reading < m_wanted.size())
        return readNext();
    if (m_plan.after.isEmpty()) {
        return succeed(QStringLiteral("%1 already holds %2: nothing sent")
                           .arg(m_plan.name, allAddresses(m_wanted).join(QStringLiteral(", "))));
    }
    DnsRequest update;
    if (QString error; !DnsMessages::buildUpdate(m_plan, m_key, &update, &error))
        return fail(error);
    setState(State::Updating);
    m_host.setStatus(QStringLiteral("DNS update: setting %1 to %2...")
                         .arg(m_plan.name, allAddresses(m_plan.after).join(QStringLiteral(", "))));
    m_exchange.start(m_server, m_port, update, m_key, m_timeoutMs,
                     [this](const DnsAnswer& answer, const QString& failure) { updateAnswered(answer, failure); });
}

void DnsUpdateNotifier::updateAnswered(const DnsAnswer& answer, const QString& failure)
{
    if (!failure.isEmpty())
        return fail(failureText(answer, failure));
    if (answer.rcode != 0 || answer.tsigError != 0)
        return fail(DnsMessages::rcodeText(answer, m_plan.zone, m_key.name));
    succeed(QStringLiteral("%1 set to %2").arg(m_plan.name, allAddresses(m_plan.after).join(QStringLiteral(", "))));
}

QString DnsUpdateNotifier::lastSetText() const
{
    const Settings& settings = m_host.settings();
    return QStringList{settings.read(Key::DnsUpdateServer).trimmed(), m_plan.zone, m_plan.name,
                       allAddresses(m_wanted).join(u',')}
        .join(u' ');
}

void DnsUpdateNotifier::succeed(const QString& text)
{
    m_host.settings().write(Key::DnsUpdateLastSet, lastSetText());
    const QString status = QStringLiteral("Success: DNS update: ") + text;
    m_deadline.stop();
    setState(State::Idle);
    m_host.setStatus(status);
    if (Notifiers::Done done = std::exchange(m_done, {}))
        done(NotificationResult::delivered(status));
}

void DnsUpdateNotifier::fail(const QString& text)
{
    const QString status = QStringLiteral("Error: DNS update: ") + text;
    m_deadline.stop();
    setState(State::Idle);
    m_host.setStatus(status);
    if (Notifiers::Done done = std::exchange(m_done, {}))
        done(NotificationResult::failed(status));
}

void DnsUpdateNotifier::stopExchanges()
{
    m_exchange.abort();
    if (m_lookup >= 0)
        QHostInfo::abortHostLookup(std::exchange(m_lookup, -1));
}

void DnsUpdateNotifier::abort()
{
    stopExchanges();
    m_deadline.stop();
    setState(State::Idle);
    if (Notifiers::Done done = std::exchange(m_done, {}))
        done(NotificationResult::givenUp());
}
