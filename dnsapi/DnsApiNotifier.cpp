#include "dnsapi/DnsApiNotifier.h"

#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "platform/FreshRequest.h"
#include "platform/OutsideText.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QUrlQuery>

Q_LOGGING_CATEGORY(lcDnsApi, "vistrel.dnsapi", QtInfoMsg)

namespace {
const QString ErrorPrefix = QStringLiteral("Error: DNS API: ");

bool sameAddress(const QString& a, const QString& b)
{
    const QHostAddress first(a);
    return first.isNull() ? a == b : first.isEqual(QHostAddress(b));
}

/// " (code 10000: Authentication error)", or nothing when the answer named no error.
QString inParentheses(const QString& text)
{
    return text.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(text);
}
} // namespace

DnsApiNotifier::DnsApiNotifier(NotificationHost& host, QObject* parent) : QObject(parent), m_host(host)
{
    m_manager.setProxy(QNetworkProxy::NoProxy);
}

DnsApiNotifier::~DnsApiNotifier()
{
    delete m_exchange; // ends its request quietly
}

void DnsApiNotifier::setState(State state)
{
    static const char* const names[] = {"Idle", "FindingZone", "FindingRecord", "Writing"};
    qCDebug(lcDnsApi) << names[int(m_state)] << "->" << names[int(state)];
    m_state = state;
}

DnsApiNotifier::Names DnsApiNotifier::names(const Settings& settings)
{
    Names names;
    names.zone = settings.read(Key::DnsApiZone).trimmed().toLower();
    while (names.zone.endsWith(u'.'))
        names.zone.chop(1);
    names.record = settings.read(Key::DnsApiRecord).trimmed().toLower();
    while (names.record.endsWith(u'.'))
        names.record.chop(1);
    // "home" and "@" name home.<zone> and the zone itself, as the host's own forms let people write them.
    if (names.record == QLatin1String("@"))
        names.record = names.zone;
    else if (!names.record.isEmpty() && names.record != names.zone && !names.record.endsWith(u'.' + names.zone))
        names.record += u'.' + names.zone;
    names.base = QUrl(settings.read(Key::DnsApiBaseUrl).trimmed());
    return names;
}

QList<DnsApiNotifier::Target> DnsApiNotifier::targets(const NoticeAddresses& addresses)
{
    QList<Target> targets;
    const QHostAddress v4(addresses.external);
    if (v4.protocol() != QAbstractSocket::IPv4Protocol)
        return targets;
    targets.append({QStringLiteral("A"), v4.toString(), {}});
    const QHostAddress v6(addresses.external6);
    if (v6.protocol() == QAbstractSocket::IPv6Protocol)
        targets.append({QStringLiteral("AAAA"), v6.toString(), {}});
    return targets;
}

QString DnsApiNotifier::memory(const Names& names, const QList<Target>& targets)
{
    QStringList parts{names.base.toString(), names.zone, names.record};
    for (const Target& target : targets)
        parts << target.type << target.address;
    return parts.join(u' ');
}

KindNotifier::Traits DnsApiNotifier::traits(int) const
{
    return {QStringLiteral("DNS API"), Concurrency::OneAtATime, m_timeoutMs, {Key::DnsApiToken}, Key::DnsApiLastSet};
}

NoticeSetting DnsApiNotifier::setting(const NoticeSend& send) const
{
    const Names names = this->names(m_host.settings());
    const QList<Target> targets = this->targets(send.addresses);
    if (names.zone.isEmpty() || names.record.isEmpty() || targets.isEmpty())
        return {};
    QStringList shown;
    for (const Target& target : targets)
        shown << target.address;
    return {memory(names, targets), names.record + u' ' + shown.join(u' ')};
}

void DnsApiNotifier::send(const NoticeSend& send, Notifiers::Done done)
{
    m_done = std::move(done);
    m_cancelled = false;
    begin(send.addresses);
}

void DnsApiNotifier::abort(quint64)
{
    if (m_state == State::Idle)
        return;
    m_cancelled = true;
    if (m_exchange)
        m_exchange->abort(); // finished runs at once and ends it
    else
        end(NotificationResult::givenUp());
}

QString DnsApiNotifier::timedOutText() const
{
    return QStringLiteral("timed out: it did not end within %1 seconds").arg(m_timeoutMs / 1000.0);
}

void DnsApiNotifier::begin(const NoticeAddresses& addresses)
{
    using Category = NotificationResult::Category;
    const PasswordStore* token = m_host.secretStore(Key::DnsApiToken);
    m_secret = (token ? token->password() : m_host.settings().read(Key::DnsApiToken)).trimmed();
    const Names names = this->names(m_host.settings());
    m_zone = names.zone;
    m_record = names.record;
    m_base = names.base;
    const QHostAddress baseHost(m_base.host());
    const bool loopback = baseHost.isLoopback() || m_base.host() == QLatin1String("localhost");
    if (m_zone.isEmpty() || m_record.isEmpty())
        return fail(QStringLiteral("enter the zone and the record name"), Category::Configuration);
    if (m_secret.isEmpty())
        return fail(QStringLiteral("enter the API token"), Category::Configuration);
    if (!m_base.isValid() || m_base.host().isEmpty() ||
        !(m_base.scheme() == QLatin1String("https") || (m_base.scheme() == QLatin1String("http") && loopback)))
        return fail(QStringLiteral("the API address must be an https:// URL (the token must not travel unencrypted)"),
                    Category::Configuration);

    m_targets = targets(addresses);
    if (m_targets.isEmpty())
        return fail(QStringLiteral("there is no external IPv4 address to set"));
    m_host.setStatus(QStringLiteral("Updating %1 through the DNS API").arg(m_record));
    m_next = 0;
    m_clock.start();
    setState(State::FindingZone);
    request("GET", QStringLiteral("/zones"), QUrlQuery{{QStringLiteral("name"), m_zone}});
}

void DnsApiNotifier::nextRecord()
{
    if (m_next >= m_targets.size())
        return succeed();
    setState(State::FindingRecord);
    request("GET", QStringLiteral("/zones/%1/dns_records").arg(m_zoneId),
            QUrlQuery{{QStringLiteral("type"), m_targets[m_next].type}, {QStringLiteral("name"), m_record}});
}

void DnsApiNotifier::request(const QByteArray& verb, const QString& path, const QUrlQuery& query,
                             const QByteArray& body)
{
    QUrl url = m_base;
    QString basePath = url.path();
    while (basePath.endsWith(u'/'))
        basePath.chop(1);
    url.setPath(basePath + path);
    url.setQuery(query);
    QNetworkRequest request = freshRequest(url, m_host.product().userAgent());
    request.setRawHeader("Authorization", "Bearer " + m_secret.toUtf8());
    request.setRawHeader("Accept", "application/json");
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    qCDebug(lcDnsApi) << verb << url.toDisplayString();
    // The update's requests share one time limit: each gets what the ones before left.
    const qint64 left = m_timeoutMs - m_clock.elapsed();
    if (left <= 0)
        return fail(timedOutText());
    HttpExchange::Options options;
    options.maxBodyBytes = DnsApiAnswer::MaxBodyBytes;
    options.timeoutMs = int(left);
    // A redirect would carry the token elsewhere: the API never sends one, so it counts as a failure.
    options.redirects = HttpExchange::Redirects::None;
    options.carriesSecret = true;
    options.mask.add(m_secret);
    m_exchange = new HttpExchange(std::move(options));
    m_exchange->start(m_manager, request, verb, body, [this](const HttpExchange::Result& result) { finished(result); });
}

void DnsApiNotifier::finished(const HttpExchange::Result& result)
{
    m_exchange = nullptr;
    if (result.cancelled)
        return end(NotificationResult::givenUp());
    if (result.cut)
        return fail(QStringLiteral("the answer was larger than 1 MiB and was not read"));
    if (!result.answered)
        return fail(result.timedOut ? timedOutText() : result.failure);
    const DnsApiAnswer answer = DnsApiAnswer::read(result.body);
    if (result.status >= 200 && result.status <= 299 && answer.json && answer.success)
        return answered(answer);
    // A server that asks for time gets it: the next try waits for its Retry-After.
    NotificationResult failed = NotificationResult::failed(shown(ErrorPrefix + failure(result, answer)), result.retryAfter);
    if (result.status == 429)
        failed.category = NotificationResult::Category::RateLimited;
    else if (result.status == 401 || result.status == 403)
        failed.category = NotificationResult::Category::Authentication;
    else if (result.status == 400 || result.status == 404)
        failed.category = NotificationResult::Category::Configuration;
    end(failed);
}

QString DnsApiNotifier::failure(const HttpExchange::Result& result, const DnsApiAnswer& answer) const
{
    const int status = result.status;
    const QString errors = inParentheses(answer.errorText());
    const bool authError = std::any_of(answer.errors.cbegin(), answer.errors.cend(),
                                       [](const DnsApiAnswer::Error& e) { return e.code == 10000; });
    if (status == 401 || (status == 403 && authError))
        return QStringLiteral("the token was refused") + errors;
    if (status == 403)
        return QStringLiteral("the token may not do this: give it DNS edit rights for the zone") + errors;
    if (status == 404)
        return QStringLiteral("the API has no such zone or record (HTTP 404)") + errors;
    if (status == 429) {
        const qint64 seconds = result.retryAfterSeconds;
        return QStringLiteral("too many requests; the API asks to wait %1 before the next")
                   .arg(seconds >= 0 ? QStringLiteral("%1 s").arg(seconds) : QStringLiteral("a while")) +
               errors;
    }
    if (status == 400)
        return QStringLiteral("the request was refused") + errors;
    if (status < 200 || status > 299)
        return QStringLiteral("HTTP %1").arg(status) + errors;
    if (!answer.json)
        return QStringLiteral("the answer was not the API's JSON");
    return QStringLiteral("the API did not carry out the request") + errors;
}

void DnsApiNotifier::answered(const DnsApiAnswer& answer)
{
    switch (m_state) {
    case State::FindingZone:
        if (answer.result.isEmpty() || answer.result.first().id.isEmpty())
            return fail(QStringLiteral("zone %1 not found (or the token may not read it)").arg(m_zone),
                        NotificationResult::Category::Configuration);
        m_zoneId = answer.result.first().id;
        return nextRecord();
    case State::FindingRecord:
        return recordsFound(answer);
    case State::Writing:
        ++m_next;
        return nextRecord();
    default:
        return;
    }
}

void DnsApiNotifier::recordsFound(const DnsApiAnswer& answer)
{
    Target& target = m_targets[m_next];
    if (answer.result.size() > 1)
        return fail(QStringLiteral("%1 has %2 %3 records; leave one for the update")
                        .arg(m_record)
                        .arg(answer.result.size())
                        .arg(target.type),
                    NotificationResult::Category::Configuration);
    QJsonObject body{{QStringLiteral("content"), target.address}};
    setState(State::Writing);
    if (answer.result.isEmpty()) {
        body.insert(QStringLiteral("type"), target.type);
        body.insert(QStringLiteral("name"), m_record);
        body.insert(QStringLiteral("ttl"), m_host.settings().readInt(Key::DnsApiTtl));
        body.insert(QStringLiteral("proxied"), false);
        return request("POST", QStringLiteral("/zones/%1/dns_records").arg(m_zoneId), {},
                       QJsonDocument(body).toJson(QJsonDocument::Compact));
    }
    const DnsApiAnswer::Entry& record = answer.result.first();
    target.was = record.content;
    if (record.id.isEmpty())
        return fail(QStringLiteral("the record's answer has no usable id"));
    if (sameAddress(record.content, target.address)) {
        ++m_next;
        return nextRecord();
    }
    request("PATCH", QStringLiteral("/zones/%1/dns_records/%2").arg(m_zoneId, record.id), {},
            QJsonDocument(body).toJson(QJsonDocument::Compact));
}

void DnsApiNotifier::succeed()
{
    QStringList done;
    for (const Target& target : m_targets) {
        if (target.was.isEmpty())
            done << QStringLiteral("%1 %2 created").arg(target.type, target.address);
        else if (sameAddress(target.was, target.address))
            done << QStringLiteral("%1 %2 already set").arg(target.type, target.address);
        else
            done << QStringLiteral("%1 %2 (was %3)").arg(target.type, target.address, target.was);
    }
    end(NotificationResult::delivered(
        shown(QStringLiteral("Success: DNS API: %1 %2").arg(m_record, done.join(QLatin1String(", "))))));
}

void DnsApiNotifier::fail(const QString& reason, NotificationResult::Category category)
{
    NotificationResult result = NotificationResult::failed(shown(ErrorPrefix + reason));
    result.category = category;
    end(result);
}

void DnsApiNotifier::end(NotificationResult result)
{
    setState(State::Idle);
    m_secret.clear();
    if (!result.message.isEmpty())
        m_host.setStatus(result.message);
    if (Notifiers::Done done = std::exchange(m_done, {}))
        done(result);
}

QString DnsApiNotifier::shown(QString text) const
{
    // The answer's texts were masked when they came; this catches the token in what was made of them.
    SecretMask mask;
    mask.add(m_secret);
    text = mask.apply(text);
    return OutsideText::line(QStringView(text), 2 * OutsideText::LineChars);
}
