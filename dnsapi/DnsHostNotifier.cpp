#include "dnsapi/DnsHostNotifier.h"

#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "discovery/PublicAddress.h"
#include "dnsapi/ApiText.h"
#include "dnsapi/DnsHostUpdate.h"
#include "dnsapi/DnsProviders.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "platform/OutsideText.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>

namespace {
bool isLoopback(const QUrl& url)
{
    return QHostAddress(url.host()).isLoopback() || url.host() == QLatin1String("localhost");
}
} // namespace

DnsHostNotifier::DnsHostNotifier(NotificationHost& host, QObject* parent) : QObject(parent), m_host(host)
{
    m_manager.setProxy(QNetworkProxy::NoProxy);
}

DnsHostNotifier::~DnsHostNotifier() = default;

QString DnsHostNotifier::name(int entry) const
{
    QString error;
    const std::optional<DnsHostEntry> value = DnsHostEntries::load(m_host.settings(), entry, &error);
    if (value && !value->label.isEmpty())
        return OutsideText::line(QStringView(value->label), 40);
    if (const DnsProviderInfo* provider = value ? DnsProviders::find(value->provider) : nullptr)
        return QString::fromLatin1(provider->label);
    return QStringLiteral("DNS host %1").arg(entry);
}

KindNotifier::Traits DnsHostNotifier::traits(int entry) const
{
    // Its own deadline says which answer did not come; the runner's is past it.
    return {name(entry), Concurrency::OneAtATime, m_timeoutMs + 2000, {DnsHostEntries::secretKey(entry)}, {}};
}

QList<int> DnsHostNotifier::moreEntries() const
{
    QList<int> entries;
    for (int entry = 1; entry <= DnsHostEntries::Last; ++entry) {
        QString error;
        const std::optional<DnsHostEntry> value = DnsHostEntries::load(m_host.settings(), entry, &error);
        // A damaged entry may have been meant to be on: it is tried, and its failure says what is wrong.
        if (!error.isEmpty() || (value && value->on))
            entries.append(entry);
    }
    return entries;
}

QList<DnsTarget> DnsHostNotifier::targets(const DnsHostEntry& entry, const NoticeAddresses& addresses)
{
    QList<DnsTarget> targets;
    const QHostAddress v4(addresses.external);
    for (const DnsHostName& name : entry.names) {
        const QString full = ApiText::absolute(name.name, entry.zone);
        const DnsTarget target{full, ApiText::relative(full, entry.zone), {}, {}, name.ttl, name.flags};
        if (name.ipv4 && v4.protocol() == QAbstractSocket::IPv4Protocol && isPublicAddress(v4)) {
            targets.append(target);
            targets.last().type = QStringLiteral("A");
            targets.last().address = v4.toString();
        }
        const QHostAddress v6(DnsNames::ipv6Address(name, addresses));
        if (!v6.isNull() && isPublicAddress(v6)) {
            targets.append(target);
            targets.last().type = QStringLiteral("AAAA");
            targets.last().address = v6.toString();
        }
    }
    return targets;
}

NoticeSetting DnsHostNotifier::setting(const NoticeSend& send) const
{
    QString error;
    const std::optional<DnsHostEntry> entry = DnsHostEntries::load(m_host.settings(), send.entry, &error);
    if (!entry)
        return {};
    const QList<DnsTarget> targets = this->targets(*entry, send.addresses);
    if (targets.isEmpty())
        return {};
    QStringList remembered{entry->provider, entry->api, entry->zone};
    QStringList names;
    QStringList addresses;
    for (const DnsTarget& target : targets) {
        remembered << target.name << target.type << target.address;
        if (!names.contains(target.name))
            names << target.name;
        if (!addresses.contains(target.address))
            addresses << target.address;
    }
    return {remembered.join(u' '), names.join(QLatin1String(", ")) + u' ' + addresses.join(u' ')};
}

QString DnsHostNotifier::lastSetting(int entry) const
{
    return DnsHostEntries::lastSet(m_host.settings(), entry);
}

void DnsHostNotifier::rememberSetting(int entry, const QString& remembered)
{
    DnsHostEntries::setLastSet(m_host.settings(), entry, remembered);
}

QString DnsHostNotifier::prepare(int entry, const DnsHostEntry& value, const DnsProviderInfo& provider,
                                 DnsSession& session) const
{
    if (provider.needsZone && value.zone.isEmpty())
        return QStringLiteral("enter the zone (the domain the names are in)");
    if (value.names.isEmpty())
        return QStringLiteral("enter a name to keep up to date");
    const PasswordStore* store = m_host.secretStore(DnsHostEntries::secretKey(entry));
    const QString stored = (store ? store->password() : m_host.settings().read(DnsHostEntries::secretKey(entry))).trimmed();
    const QList<QString> secretNames = provider.secretNames();
    if (secretNames.size() == 1) {
        session.secrets.insert(secretNames.first(), stored);
    } else if (!secretNames.isEmpty()) {
        // Several secrets are kept as one JSON object, so that one keyring item holds them.
        const QJsonObject secrets = QJsonDocument::fromJson(stored.toUtf8()).object();
        for (const QString& secretName : secretNames)
            session.secrets.insert(secretName, secrets.value(secretName).toString().trimmed());
    }
    for (const DnsProviderField& field : provider.fields) {
        const QString name = QString::fromLatin1(field.name);
        const QString given = field.secret ? session.secrets.value(name) : value.fields.value(name);
        if (given.isEmpty() && !field.optional)
            return QStringLiteral("enter the %1").arg(QString::fromLatin1(field.label).remove(u'&').remove(u':').toLower());
    }
    session.entry = value;
    session.entry.zone = ApiText::name(value.zone);
    session.api = QUrl(value.api.isEmpty() ? QString::fromLatin1(provider.api) : value.api);
    if (!session.api.isValid() || session.api.host().isEmpty() ||
        !(session.api.scheme() == QLatin1String("https") ||
          (session.api.scheme() == QLatin1String("http") && isLoopback(session.api))))
        return QStringLiteral("the API address must be an https:// URL (the credentials must not travel unencrypted)");
    session.now = QDateTime::currentDateTimeUtc();
    return {};
}

void DnsHostNotifier::send(const NoticeSend& send, Notifiers::Done done)
{
    const QString name = this->name(send.entry);
    const auto fail = [&](const QString& why, NotificationResult::Category category) {
        NotificationResult result = NotificationResult::failed(QStringLiteral("Error: %1: %2").arg(name, why));
        result.category = category;
        m_host.setStatus(result.message);
        done(result);
    };
    using Category = NotificationResult::Category;
    QString error;
    const std::optional<DnsHostEntry> entry = DnsHostEntries::load(m_host.settings(), send.entry, &error);
    const DnsProviderInfo* provider = entry ? DnsProviders::find(entry->provider) : nullptr;
    if (entry && !provider)
        error = QStringLiteral("unknown provider \"%1\"").arg(OutsideText::line(QStringView(entry->provider), 20));
    if (!provider)
        return fail(error.isEmpty() ? QStringLiteral("the entry is empty") : QStringLiteral("the entry is damaged: ") + error,
                    Category::Configuration);
    DnsSession session;
    if (const QString why = prepare(send.entry, *entry, *provider, session); !why.isEmpty())
        return fail(why, Category::Configuration);
    QList<DnsTarget> targets = this->targets(*entry, send.addresses);
    if (targets.isEmpty()) {
        // Never a private or reserved address into public DNS, and nothing when the lookup found none.
        return fail(QStringLiteral("there is no public address to set (external %1)").arg(send.addresses.external),
                    Category::Transient);
    }
    const auto last = m_lastWrite.constFind(send.entry);
    const qint64 wait = last == m_lastWrite.cend() ? 0 : provider->minIntervalSeconds - last->elapsed() / 1000;
    if (!send.preview && wait > 0) {
        NotificationResult result = NotificationResult::failed(
            QStringLiteral("Error: %1: the host takes one update every %2 s; the next in %3 s")
                .arg(name)
                .arg(provider->minIntervalSeconds)
                .arg(wait),
            QDateTime::currentDateTimeUtc().addSecs(wait));
        m_host.setStatus(result.message);
        return done(result);
    }
    m_host.setStatus(send.preview ? QStringLiteral("Reading what %1 holds").arg(name)
                                  : QStringLiteral("Updating %1 at %2").arg(targets.first().name, name));
    DnsHostUpdate::Options options{name, m_timeoutMs, send.preview, m_host.product().userAgent()};
    auto update = std::make_unique<DnsHostUpdate>(m_manager, provider->make(), std::move(session), std::move(targets),
                                                  std::move(options));
    DnsHostUpdate& started = *update;
    m_updates[send.run] = std::move(update);
    started.start([this, run = send.run, entry = send.entry, preview = send.preview,
                   done = std::move(done)](const NotificationResult& result) {
        if (result.ok() && !preview)
            m_lastWrite[entry].start();
        m_host.setStatus(result.message);
        // The update is deleted once its last event has been handled.
        if (auto found = m_updates.find(run); found != m_updates.end()) {
            found->second.release()->deleteLater();
            m_updates.erase(found);
        }
        done(result);
    });
}

void DnsHostNotifier::abort(quint64 run)
{
    if (const auto found = m_updates.find(run); found != m_updates.end())
        found->second->abort();
}
