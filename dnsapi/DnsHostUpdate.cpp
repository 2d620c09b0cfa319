#include "dnsapi/DnsHostUpdate.h"

#include "platform/FreshRequest.h"
#include "platform/OutsideText.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkAccessManager>

Q_LOGGING_CATEGORY(lcDnsHost, "vistrel.dnshost", QtInfoMsg)

namespace {
constexpr int MaxLoginSteps = 4;

bool sameAddress(const QString& a, const QString& b)
{
    const QHostAddress first(a);
    return first.isNull() ? a == b : first.isEqual(QHostAddress(b));
}

QString withDetail(const QString& text, const QString& detail)
{
    return detail.isEmpty() ? text : QStringLiteral("%1: %2").arg(text, detail);
}
} // namespace

DnsHostUpdate::DnsHostUpdate(QNetworkAccessManager& manager, std::unique_ptr<const DnsProvider> provider,
                             DnsSession session,
                             QList<DnsTarget> targets, Options options, QObject* parent)
    : QObject(parent), m_manager(manager), m_provider(std::move(provider)), m_session(std::move(session)),
      m_targets(std::move(targets)), m_outcomes(m_targets.size()), m_options(std::move(options))
{
    m_session.targets = m_targets;
    for (const QString& secret : std::as_const(m_session.secrets))
        m_mask.add(secret);
}

DnsHostUpdate::~DnsHostUpdate()
{
    delete m_exchange; // ends its request quietly
}

void DnsHostUpdate::setState(State state)
{
    static const char* const names[] = {"Idle", "LoggingIn", "FindingZone", "Reading", "Writing", "LoggingOut"};
    qCDebug(lcDnsHost) << m_options.name << names[int(m_state)] << "->" << names[int(state)];
    m_state = state;
}

void DnsHostUpdate::start(Done done)
{
    m_done = std::move(done);
    m_clock.start();
    login();
}

void DnsHostUpdate::abort()
{
    if (m_state == State::Idle)
        return;
    if (m_exchange)
        m_exchange->abort(); // answered runs at once and ends it
    else
        end(NotificationResult::givenUp());
}

void DnsHostUpdate::login()
{
    std::optional<ApiRequest> request = m_logins < MaxLoginSteps ? m_provider->login(m_session) : std::nullopt;
    if (request) {
        ++m_logins;
        setState(State::LoggingIn);
        return send(std::move(*request));
    }
    if (std::optional<ApiRequest> zone = m_provider->findZone(m_session)) {
        setState(State::FindingZone);
        return send(std::move(*zone));
    }
    nextTarget();
}

void DnsHostUpdate::nextTarget()
{
    if (m_next >= m_targets.size())
        return logout();
    if (!m_provider->reads()) {
        if (m_options.preview) {
            m_outcomes[m_next++].what = Outcome::What::Sent;
            return nextTarget();
        }
        return write(m_provider->create(m_session, m_targets[m_next]));
    }
    m_records.clear();
    m_pages = 0;
    read({});
}

void DnsHostUpdate::read(const QString& page)
{
    ++m_pages;
    setState(State::Reading);
    send(m_provider->list(m_session, m_targets[m_next], page));
}

void DnsHostUpdate::decide()
{
    const DnsTarget& target = m_targets[m_next];
    Outcome& outcome = m_outcomes[m_next];
    QList<DnsRecord> same;
    for (const DnsRecord& record : std::as_const(m_records)) {
        // Only the records of the name and type asked count; every other is left as it is.
        if (ApiText::name(record.name) == target.name && record.type.compare(target.type, Qt::CaseInsensitive) == 0)
            same.append(record);
    }
    if (same.size() > 1) {
        outcome.what = Outcome::What::Refused;
        outcome.count = int(same.size());
    } else if (same.size() == 1 && sameAddress(same.first().content, target.address)) {
        outcome.what = Outcome::What::AlreadySet;
        outcome.was = same.first().content;
    } else if (m_options.preview) {
        outcome.what = same.isEmpty() ? Outcome::What::Created : Outcome::What::Changed;
        outcome.was = same.isEmpty() ? QString() : same.first().content;
    } else {
        outcome.was = same.isEmpty() ? QString() : same.first().content;
        return write(same.isEmpty() ? m_provider->create(m_session, target)
                                    : m_provider->change(m_session, target, same.first()));
    }
    ++m_next;
    nextTarget();
}

void DnsHostUpdate::write(const ApiRequest& request)
{
    setState(State::Writing);
    send(request);
}

void DnsHostUpdate::logout()
{
    std::optional<ApiRequest> request = m_provider->logout(m_session);
    if (!request) {
        if (!m_failure.ok())
            return fail(m_failure);
        return succeed();
    }
    setState(State::LoggingOut);
    send(std::move(*request));
}

void DnsHostUpdate::send(ApiRequest request)
{
    m_provider->authenticate(m_session, request);
    const QUrl url = requestUrl(m_session, request);
    const qint64 left = m_options.timeoutMs - m_clock.elapsed();
    if (left <= 0)
        return fail(ReadResult::fail(timedOutText()));
    QNetworkRequest network = freshRequest(url, m_options.userAgent);
    network.setRawHeader("Accept", "application/json");
    for (const auto& [name, value] : std::as_const(request.headers))
        network.setRawHeader(name, value);
    if (!request.body.isEmpty() || !request.contentType.isEmpty())
        network.setHeader(QNetworkRequest::ContentTypeHeader,
                          request.contentType.isEmpty() ? QByteArrayLiteral("application/json") : request.contentType);
    qCDebug(lcDnsHost) << request.method << url.toDisplayString(QUrl::RemoveQuery);
    HttpExchange::Options options;
    options.maxBodyBytes = MaxBodyBytes;
    options.timeoutMs = int(left);
    // A redirect would carry the credentials elsewhere: the APIs send none, so one counts as a failure.
    options.redirects = HttpExchange::Redirects::None;
    options.carriesSecret = true;
    options.mask = m_mask;
    m_exchange = new HttpExchange(std::move(options));
    m_exchange->start(m_manager, network, request.method, request.body,
                      [this](const HttpExchange::Result& result) { answered(result); });
}

void DnsHostUpdate::answered(const HttpExchange::Result& result)
{
    m_exchange = nullptr;
    if (result.cancelled)
        return end(NotificationResult::givenUp());
    if (m_state == State::LoggingOut) // its answer changes nothing of what was done
        return m_failure.ok() ? succeed() : fail(m_failure);
    if (result.cut)
        return fail(ReadResult::fail(QStringLiteral("the answer was larger than 1 MiB and was not read")));
    if (!result.answered)
        return fail(ReadResult::fail(result.timedOut ? timedOutText() : result.failure));
    const ApiReply reply{result.status, result.body};
    const bool success = result.status >= 200 && result.status <= 299;
    const bool missing = m_state == State::Reading && result.status == 404 && m_provider->missingIs404();
    if (!success && !missing) {
        m_retryAfter = result.retryAfter;
        return fail(failure(result));
    }
    ReadResult read;
    switch (m_state) {
    case State::LoggingIn:
        read = m_provider->readLogin(m_session, reply);
        m_mask.add(m_session.token);
        return read.ok() ? login() : fail(read);
    case State::FindingZone:
        read = m_provider->readZone(m_session, reply);
        return read.ok() ? nextTarget() : fail(read);
    case State::Reading: {
        QString next;
        QList<DnsRecord> records;
        if (!missing)
            read = m_provider->readList(m_session, m_targets[m_next], reply, records, next);
        if (!read.ok())
            return fail(read);
        m_records += records.mid(0, ApiText::MaxRecords - m_records.size());
        if (!next.isEmpty() && m_pages < MaxPages)
            return this->read(next);
        return decide();
    }
    case State::Writing: {
        read = m_provider->readWrite(m_session, m_targets[m_next], reply);
        if (!read.ok())
            return fail(read);
        Outcome& outcome = m_outcomes[m_next++];
        outcome.what = !m_provider->reads()     ? Outcome::What::Sent
                       : outcome.was.isEmpty() ? Outcome::What::Created
                                               : Outcome::What::Changed;
        return nextTarget();
    }
    default:
        return;
    }
}

ReadResult DnsHostUpdate::failure(const HttpExchange::Result& result) const
{
    using Category = NotificationResult::Category;
    const int status = result.status;
    const ApiReply reply{status, result.body};
    // What the status says; the provider may know better (a refused key or too many requests answered with 400).
    Category category = Category::Transient;
    // An OAuth token endpoint refuses a bad key or client secret with 400 (invalid_grant, invalid_client).
    if (status == 401 || status == 403 || (status == 400 && m_state == State::LoggingIn))
        category = Category::Authentication;
    else if (status == 429)
        category = Category::RateLimited;
    else if (status == 400 || status == 404 || status == 409 || status == 422)
        category = Category::Configuration;
    category = m_provider->category(reply, category);
    const QString detail = m_provider->errorText(reply);
    switch (category) {
    case Category::Authentication:
        return ReadResult::fail(withDetail(QStringLiteral("the credentials were refused (HTTP %1)").arg(status), detail),
                                category);
    case Category::RateLimited: {
        const qint64 seconds = result.retryAfterSeconds;
        return ReadResult::fail(
            withDetail(QStringLiteral("too many requests; the API asks to wait %1 before the next")
                           .arg(seconds >= 0 ? QStringLiteral("%1 s").arg(seconds) : QStringLiteral("a while")),
                       detail),
            category);
    }
    case Category::Configuration:
        return ReadResult::fail(
            withDetail(status == 404 ? QStringLiteral("the API has no such zone or record (HTTP 404)")
                                     : QStringLiteral("the request was refused (HTTP %1)").arg(status),
                       detail),
            category);
    case Category::Transient:
        break;
    }
    return ReadResult::fail(withDetail(QStringLiteral("HTTP %1").arg(status), detail));
}

QString DnsHostUpdate::line(const DnsTarget& target, const Outcome& outcome) const
{
    using What = Outcome::What;
    const QString was = outcome.was.isEmpty() ? QStringLiteral("none") : outcome.was;
    switch (outcome.what) {
    case What::Created:
        return m_options.preview ? QStringLiteral("%1 none -> %2").arg(target.type, target.address)
                                 : QStringLiteral("%1 %2 created").arg(target.type, target.address);
    case What::Changed:
        return m_options.preview ? QStringLiteral("%1 %2 -> %3").arg(target.type, was, target.address)
                                 : QStringLiteral("%1 %2 (was %3)").arg(target.type, target.address, was);
    case What::AlreadySet:
        return QStringLiteral("%1 %2 already set").arg(target.type, target.address);
    case What::Sent:
        return m_options.preview ? QStringLiteral("%1 -> %2 (the service cannot be read first)")
                                       .arg(target.type, target.address)
                                 : QStringLiteral("%1 %2 sent").arg(target.type, target.address);
    case What::Refused:
        return QStringLiteral("has %1 %2 records; leave one for the update").arg(outcome.count).arg(target.type);
    case What::Pending:
        break;
    }
    return QStringLiteral("%1 not reached").arg(target.type);
}

QString DnsHostUpdate::report() const
{
    // "home.example.com A 203.0.113.7 (was 198.51.100.7), AAAA 2001:db8::7 created; www.example.com ..."
    QStringList names;
    QString current;
    QStringList items;
    for (qsizetype i = 0; i < m_targets.size(); ++i) {
        if (m_outcomes[i].what == Outcome::What::Pending)
            continue;
        if (m_targets[i].name != current && !items.isEmpty()) {
            names << current + u' ' + items.join(QLatin1String(", "));
            items.clear();
        }
        current = m_targets[i].name;
        items << line(m_targets[i], m_outcomes[i]);
    }
    if (!items.isEmpty())
        names << current + u' ' + items.join(QLatin1String(", "));
    return names.join(QLatin1String("; "));
}

void DnsHostUpdate::succeed()
{
    const bool refused = std::any_of(m_outcomes.cbegin(), m_outcomes.cend(),
                                     [](const Outcome& outcome) { return outcome.what == Outcome::What::Refused; });
    if (refused) {
        NotificationResult result =
            NotificationResult::misconfigured(shown(QStringLiteral("Error: %1: %2").arg(m_options.name, report())));
        return end(result);
    }
    const QString what = m_options.preview ? QStringLiteral("would change ") : QString();
    end(NotificationResult::delivered(shown(QStringLiteral("Success: %1: %2%3").arg(m_options.name, what, report()))));
}

void DnsHostUpdate::fail(const ReadResult& failure)
{
    // A session the provider opened is closed first; what failed is reported once that is done.
    if (m_failure.ok() && m_state != State::LoggingOut && m_state != State::LoggingIn && m_state != State::Idle &&
        m_provider->logout(m_session)) {
        m_failure = failure;
        return logout();
    }
    const QString done = report();
    QString text = QStringLiteral("Error: %1: %2").arg(m_options.name, failure.failure);
    if (!done.isEmpty())
        text += QStringLiteral(" (done before: %1)").arg(done);
    NotificationResult result = NotificationResult::failed(shown(text), m_retryAfter);
    result.category = failure.category;
    end(result);
}

void DnsHostUpdate::end(NotificationResult result)
{
    setState(State::Idle);
    m_session.secrets.clear();
    m_session.token.clear();
    if (Done done = std::exchange(m_done, {}))
        done(result);
}

QString DnsHostUpdate::timedOutText() const
{
    return QStringLiteral("timed out: it did not end within %1 seconds").arg(m_options.timeoutMs / 1000.0);
}

QString DnsHostUpdate::shown(QString text) const
{
    // The answers were masked when they came; this catches a secret in what was made of them.
    return OutsideText::line(QStringView(m_mask.apply(text)), 4 * OutsideText::LineChars);
}
