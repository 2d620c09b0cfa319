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

DnsUpdateNotifier::DnsUpdateNotifier(NotificationHost& host, QObject* parent)
    : QObject(parent), m_host(host), m_exchange(this)
{
}

void DnsUpdateNotifier::setState(State state)
{
    qCDebug(logDnsUpdate) << "state" << int(m_state) << "->" << int(state);
    m_state = state;
}

QList<RecordSet> DnsUpdateNotifier::wanted(const NoticeAddresses& addresses)
{
    QList<RecordSet> sets;
    const QHostAddress v4(addresses.external);
    if (v4.protocol() == QAbstractSocket::IPv4Protocol)
        sets.append({DnsMessages::TypeA, {v4.toString()}});
    const QHostAddress v6(addresses.external6);
    if (v6.protocol() == QAbstractSocket::IPv6Protocol)
        sets.append({DnsMessages::TypeAaaa, {v6.toString()}});
    return sets;
}

NoticeSetting DnsUpdateNotifier::setting(const NoticeSend& send) const
{
    const Settings& settings = m_host.settings();
    const QString zone = settings.read(Key::DnsUpdateZone).trimmed();
    QString name = settings.read(Key::DnsUpdateName).trimmed();
    if (name.isEmpty())
        name = zone;
    const QStringList addresses = allAddresses(wanted(send.addresses));
    if (addresses.isEmpty())
        return {};
    return {QStringList{settings.read(Key::DnsUpdateServer).trimmed(), zone, name, addresses.join(u',')}.join(u' '),
            QStringLiteral("%1 %2").arg(name, addresses.join(QStringLiteral(", ")))};
}

void DnsUpdateNotifier::send(const NoticeSend& send, Notifiers::Done done)
{
    m_done = std::move(done);
    start(send.addresses);
}

void DnsUpdateNotifier::start(const NoticeAddresses& addresses)
{
    using Category = NotificationResult::Category;
    Settings& settings = m_host.settings();
    const PasswordStore* secret = m_host.secretStore(Key::DnsUpdateKeySecret);
    m_key = {settings.read(Key::DnsUpdateKeyName),
             secret ? secret->password() : settings.read(Key::DnsUpdateKeySecret),
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
        return fail(QStringLiteral("the server, the zone and the key name are needed"), Category::Configuration);
    if (QString error;
        !DnsMessages::checkName(m_plan.zone, m_plan.name, &error) || !DnsMessages::checkKey(m_key, &error))
        return fail(error, Category::Configuration);

    m_wanted = wanted(addresses);
    if (m_wanted.isEmpty())
        return fail(QStringLiteral("there is no external address to set"));

    setState(State::Resolving);
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
    if (answer.rcode != 0 || answer.tsigError != 0) {
        // REFUSED, NOTAUTH, BADSIG, BADKEY: the key may not update the zone; trying again changes nothing.
        const bool refused = answer.rcode == 5 || answer.rcode == 9 || answer.tsigError == 16 ||
                             answer.tsigError == 17;
        return fail(DnsMessages::rcodeText(answer, m_plan.zone, m_key.name),
                    refused ? NotificationResult::Category::Authentication : NotificationResult::Category::Transient);
    }
    succeed(QStringLiteral("%1 set to %2").arg(m_plan.name, allAddresses(m_plan.after).join(QStringLiteral(", "))));
}

void DnsUpdateNotifier::succeed(const QString& text)
{
    const QString status = QStringLiteral("Success: DNS update: ") + text;
    setState(State::Idle);
    m_host.setStatus(status);
    if (Notifiers::Done done = std::exchange(m_done, {}))
        done(NotificationResult::delivered(status));
}

void DnsUpdateNotifier::fail(const QString& text, NotificationResult::Category category)
{
    NotificationResult result = NotificationResult::failed(QStringLiteral("Error: DNS update: ") + text);
    result.category = category;
    setState(State::Idle);
    m_host.setStatus(result.message);
    if (Notifiers::Done done = std::exchange(m_done, {}))
        done(result);
}

void DnsUpdateNotifier::stopExchanges()
{
    m_exchange.abort();
    if (m_lookup >= 0)
        QHostInfo::abortHostLookup(std::exchange(m_lookup, -1));
}

void DnsUpdateNotifier::abort(quint64)
{
    stopExchanges();
    setState(State::Idle);
    if (Notifiers::Done done = std::exchange(m_done, {}))
        done(NotificationResult::givenUp());
}
