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

QList<RecordSet> DnsUpdateNotifier::wanted(const NoticeAddresses& addresses, const DnsHostName& name)
{
    QList<RecordSet> sets;
    const QHostAddress v4(addresses.external);
    if (name.ipv4 && v4.protocol() == QAbstractSocket::IPv4Protocol)
        sets.append({DnsMessages::TypeA, {v4.toString()}});
    const QString v6 = DnsNames::ipv6Address(name, addresses);
    if (!v6.isEmpty())
        sets.append({DnsMessages::TypeAaaa, {v6}});
    return sets;
}

QList<DnsHostName> DnsUpdateNotifier::names(QString* error) const
{
    const Settings& settings = m_host.settings();
    const QString zone = settings.read(Key::DnsUpdateZone).trimmed();
    QList<DnsHostName> names = DnsNames::parse(settings.read(Key::DnsUpdateName), error).value_or(QList<DnsHostName>{});
    if (names.isEmpty() && error->isEmpty()) {
        DnsHostName own; // the zone's own name
        own.name = zone;
        names.append(own);
    }
    for (DnsHostName& name : names)
        name.name = DnsNames::absolute(name.name, zone);
    return names;
}

NoticeSetting DnsUpdateNotifier::setting(const NoticeSend& send) const
{
    const Settings& settings = m_host.settings();
    const QString zone = settings.read(Key::DnsUpdateZone).trimmed();
    QString error;
    QStringList remembered{settings.read(Key::DnsUpdateServer).trimmed(), zone};
    QStringList shown;
    for (const DnsHostName& name : names(&error)) {
        const QStringList addresses = allAddresses(wanted(send.addresses, name));
        if (addresses.isEmpty())
            continue;
        remembered << name.name << addresses.join(u',');
        shown << QStringLiteral("%1 %2").arg(name.name, addresses.join(QStringLiteral(", ")));
    }
    if (shown.isEmpty())
        return {};
    return {remembered.join(u' '), shown.join(QLatin1String("; "))};
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
    m_plan.zone = settings.read(Key::DnsUpdateZone).trimmed();
    m_port = quint16(settings.readInt(Key::DnsUpdatePort));
    const QString server = settings.read(Key::DnsUpdateServer).trimmed();
    if (server.isEmpty() || m_plan.zone.isEmpty() || m_key.name.trimmed().isEmpty())
        return fail(QStringLiteral("the server, the zone and the key name are needed"), Category::Configuration);
    QString error;
    m_names = names(&error);
    if (!error.isEmpty())
        return fail(error, Category::Configuration);
    for (const DnsHostName& name : std::as_const(m_names)) {
        if (!DnsMessages::checkName(m_plan.zone, name.name, &error))
            return fail(error, Category::Configuration);
    }
    if (!DnsMessages::checkKey(m_key, &error))
        return fail(error, Category::Configuration);

    m_addresses = addresses;
    if (allAddresses(wanted(addresses, {})).isEmpty())
        return fail(QStringLiteral("there is no external address to set"));

    setState(State::Resolving);
    m_host.setStatus(QStringLiteral("DNS update: asking %1 for %2...").arg(server, m_names.first().name));
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
    m_current = 0;
    m_namesDone.clear();
    beginName();
}

void DnsUpdateNotifier::beginName()
{
    const DnsHostName& name = m_names[m_current];
    m_plan = {m_plan.zone, name.name, name.ttl > 0 ? name.ttl : m_host.settings().readInt(Key::DnsUpdateTtl), {}, {}};
    m_wanted = wanted(m_addresses, name);
    if (m_wanted.isEmpty()) // a name that asks for neither address this one has
        return nameDone(QStringLiteral("%1: nothing to set").arg(name.name));
    m_reading = 0;
    setState(State::Reading);
    readNext();
}

void DnsUpdateNotifier::nameDone(const QString& text)
{
    m_namesDone << text;
    if (++m_current < m_names.size())
        return beginName();
    succeed(m_namesDone.join(QLatin1String("; ")));
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
        return nameDone(QStringLiteral("%1 already holds %2: nothing sent")
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
    nameDone(QStringLiteral("%1 set to %2").arg(m_plan.name, allAddresses(m_plan.after).join(QStringLiteral(", "))));
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
