#include "notify/WebNotifier.h"

#include "core/NotifySettings.h"
#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/DynDnsAnswer.h"
#include "notify/NotificationHost.h"
#include "notify/Placeholders.h"
#include "notify/WebEntries.h"
#include "notify/WebPresets.h"
#include "platform/DisplayedUrl.h"
#include "platform/FreshRequest.h"
#include "platform/OutsideText.h"

#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QUrl>
#include <QUrlQuery>

namespace {
bool isWebUrl(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

/// Whether a header called @p name holds a credential whatever its value: Authorization, Cookie, X-Api-Key ...
bool isSecretHeader(const QByteArray& name)
{
    const QByteArray lower = name.toLower();
    return lower == "cookie" || lower.contains("auth") || lower.contains("key") || lower.contains("token") ||
           lower.contains("secret") || lower.contains("pass") || lower.contains("signature");
}

/// The password of @p url's user information in every form a server may repeat it: decoded, and Base64 in the
/// Basic authentication of "user:password".
void maskPassword(SecretMask& mask, const QUrl& url)
{
    const QString password = url.password(QUrl::FullyDecoded);
    if (password.isEmpty())
        return;
    mask.add(password);
    mask.addBase64((url.userName(QUrl::FullyDecoded) + u':' + password).toUtf8());
}
/// Why an answer that is no success failed: refused credentials and requests the server cannot serve wait for the
/// settings to change; the rest (no answer, a server error, a dynamic-DNS service's own trouble) is tried again.
NotificationResult::Category category(const HttpExchange::Result& result)
{
    using Category = NotificationResult::Category;
    if (!result.answered)
        return Category::Transient;
    if (result.retryAfter.isValid() || result.status == 429)
        return Category::RateLimited;
    const DynDnsAnswer answer = DynDnsAnswer::read(result.body);
    if (answer.kind == DynDnsAnswer::Kind::Error)
        return answer.word == QLatin1String("badauth")                                     ? Category::Authentication
               : answer.word == QLatin1String("dnserr") || answer.word == QLatin1String("911") ? Category::Transient
                                                                                          : Category::Configuration;
    if (result.status == 401 || result.status == 403)
        return Category::Authentication;
    if (result.status == 400 || result.status == 404 || result.status == 405 || result.status == 410)
        return Category::Configuration;
    return Category::Transient;
}
} // namespace

WebValues noticeWebValues(const NoticeAddresses& addresses, const QString& secret)
{
    return {addresses.internal,
            addresses.external,
            addresses.external6,
            addresses.previousInternal,
            addresses.previousExternal,
            addresses.previousExternal6,
            QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
            secret,
            addresses.internal6,
            addresses.prefix6,
            addresses.previousPrefix6};
}

WebValues hostWebValues(NotificationHost& host, const QString& secret)
{
    return noticeWebValues(addressesShownBy(host), secret);
}

QString webNotificationUrl(NotificationHost& host, const NoticeAddresses& addresses, const QString& url)
{
    return substitutePlaceholders(url.isEmpty() ? host.notifySettings().url : url, urlPlaceholders(),
                                  addresses.internal, addresses.external, addresses.external6,
                                  OwnIPv6{addresses.internal6, addresses.prefix6});
}

QString webNotificationUrl(NotificationHost& host)
{
    return webNotificationUrl(host, addressesShownBy(host));
}

WebNotifier::WebNotifier(NotificationHost& host) : m_host(host)
{
    m_manager.setProxy(QNetworkProxy::NoProxy);
}

WebNotifier::~WebNotifier()
{
    const QList<HttpExchange*> exchanges = m_requests.keys();
    m_requests.clear();
    qDeleteAll(exchanges); // each ends its request quietly
}

QString WebNotifier::name(int entry) const
{
    if (entry == 0)
        return QStringLiteral("Web");
    QString error;
    const std::optional<WebRequest> request = WebEntries::load(m_host.settings(), entry, &error);
    return request && !request->name.trimmed().isEmpty() ? OutsideText::line(request->name, 40)
                                                         : QStringLiteral("web request %1").arg(entry + 1);
}

QList<int> WebNotifier::moreEntries() const
{
    QList<int> entries;
    for (int entry = WebEntries::First; entry <= WebEntries::Last; ++entry) {
        QString error;
        const std::optional<WebRequest> request = WebEntries::load(m_host.settings(), entry, &error);
        // A damaged entry may have been meant to be on: it is tried, and its failure says what is wrong.
        if (!error.isEmpty() || (request && request->on && sendsOnChange(entry)))
            entries.append(entry);
    }
    return entries;
}

bool WebNotifier::sendsOnChange(int entry) const
{
    return WebEntries::sends(m_host.settings(), entry) == WebSends::OnChange;
}

KindNotifier::Traits WebNotifier::traits(int entry) const
{
    Traits traits{name(entry), Concurrency::Parallel, m_timeoutMs + 1000};
    // The first URL's password is in the URL, and masked from there.
    if (entry >= WebEntries::First && entry <= WebEntries::Last)
        traits.secretKeys = {WebEntries::secretKey(entry)};
    return traits;
}

NoticeSetting WebNotifier::setting(const NoticeSend& send) const
{
    if (send.entry < WebEntries::First || send.entry > WebEntries::Last)
        return {};
    QString error;
    const std::optional<WebRequest> request = WebEntries::load(m_host.settings(), send.entry, &error);
    const WebPreset* preset = request ? findWebPreset(request->preset) : nullptr;
    if (!preset || !preset->setsAddress)
        return {};
    return {send.addresses.external, send.addresses.external};
}

QString WebNotifier::lastSetting(int entry) const
{
    return WebEntries::lastSet(m_host.settings(), entry);
}

void WebNotifier::rememberSetting(int entry, const QString& remembered)
{
    WebEntries::setLastSet(m_host.settings(), entry, remembered);
}

void WebNotifier::send(const NoticeSend& send, Notifiers::Done done)
{
    if (send.entry == 0)
        return sendFirstUrl(send, std::move(done));
    sendEntry(send, std::move(done));
}

void WebNotifier::sendFirstUrl(const NoticeSend& send, Notifiers::Done done)
{
    const auto fail = [this, &done](const QString& status) {
        m_host.setStatus(status);
        if (done)
            done(NotificationResult::misconfigured(status));
    };
    const NotifySettings& values = m_host.notifySettings();
    if (values.url.isEmpty() && send.pingUrl.isEmpty())
        return fail(QStringLiteral("Error: Please enter a URL to hit"));
    const QString url = webNotificationUrl(m_host, send.addresses, send.pingUrl);
    // Checked before it is shown: a URL that does not parse could hide its password from the masking.
    const QUrl parsed(withEscapedUserInfo(url));
    if (!isWebUrl(parsed))
        return fail(QStringLiteral("Error: could not hit URL"));
    const bool ping = !send.pingUrl.isEmpty();
    if (!ping)
        m_host.setStatus(QStringLiteral("Hitting ") + displayedUrl(url));
    Request request;
    request.done = std::move(done);
    request.run = send.run;
    request.ping = ping;
    maskPassword(request.mask, parsed);
    // The values of the query's secret parameters, should the answer repeat them.
    for (const auto& [name, value] : QUrlQuery(parsed).queryItems(QUrl::FullyDecoded)) {
        if (isSecretParameter(name))
            request.mask.add(value);
    }
    start(prepared(parsed), "GET", {}, !parsed.password().isEmpty(), std::move(request));
}

QNetworkRequest WebNotifier::prepared(const QUrl& url) const
{
    // Dynamic-DNS services refuse anonymous agents; this one names the program and its version.
    QNetworkRequest request = freshRequest(url, m_host.product().userAgent());
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return request;
}

void WebNotifier::sendEntry(const NoticeSend& send, Notifiers::Done done)
{
    const int entry = send.entry;
    const QString name = this->name(entry) + QStringLiteral(": ");
    const auto fail = [this, &done](const QString& status) {
        m_host.setStatus(status);
        if (done)
            done(NotificationResult::misconfigured(status));
    };
    QString error;
    std::optional<WebRequest> request = WebEntries::load(m_host.settings(), entry, &error);
    if (!request) {
        const QString label = QStringLiteral("web request %1").arg(entry + 1);
        return fail(error.isEmpty() ? QStringLiteral("Error: There is no %1").arg(label)
                                    : QStringLiteral("Error: The %1 in the settings is damaged (%2); skipped")
                                          .arg(label, error));
    }
    if (!send.pingUrl.isEmpty())
        request->url = send.pingUrl;
    const PasswordStore* store = WebEntries::secretStore(m_host, entry);
    const QString secret = store ? store->password() : m_host.settings().read(WebEntries::secretKey(entry));
    const WebPreset* preset = findWebPreset(request->preset);
    const WebValues values = noticeWebValues(send.addresses, secret);
    const std::optional<FilledRequest> filled = fillWebRequest(*request, values, &error);
    if (!filled)
        return fail(QStringLiteral("Error: ") + name + error);
    const QUrl parsed(withEscapedUserInfo(filled->url));
    if (!isWebUrl(parsed))
        return fail(QStringLiteral("Error: ") + name + QStringLiteral("could not hit URL ") + filled->shown);
    Request sent;
    sent.run = send.run;
    sent.entry = entry;
    sent.name = name;
    sent.rule = preset ? &preset->answer : nullptr;
    sent.mask.add(secret);
    sent.ping = !send.pingUrl.isEmpty();
    maskPassword(sent.mask, parsed);
    if (!sent.ping)
        m_host.setStatus(QStringLiteral("Hitting ") + name + filled->shown);
    QNetworkRequest prepared = this->prepared(parsed);
    bool typed = false;
    bool carriesSecret = !parsed.password().isEmpty();
    for (const auto& [header, value] : filled->headers) {
        prepared.setRawHeader(header, value);
        typed = typed || header.compare("Content-Type", Qt::CaseInsensitive) == 0;
        carriesSecret = carriesSecret || isSecretHeader(header);
    }
    if (!typed && !filled->contentType.isEmpty())
        prepared.setHeader(QNetworkRequest::ContentTypeHeader, filled->contentType);
    const QLatin1String placeholder("$Secret$");
    for (const QString* part : {&request->url, &request->headers, &request->body})
        carriesSecret = carriesSecret || (!secret.isEmpty() && part->contains(placeholder, Qt::CaseInsensitive));
    sent.done = std::move(done);
    start(prepared, filled->method, filled->body, carriesSecret, std::move(sent));
}

void WebNotifier::start(const QNetworkRequest& prepared, const QByteArray& verb, const QByteArray& body,
                        bool carriesSecret, Request request)
{
    HttpExchange::Options options;
    options.maxBodyBytes = MaxBodyBytes;
    options.timeoutMs = m_timeoutMs;
    options.redirects = HttpExchange::Redirects::Follow;
    options.carriesSecret = carriesSecret;
    options.mask = request.mask;
    auto* exchange = new HttpExchange(std::move(options));
    m_requests.insert(exchange, std::move(request));
    exchange->start(m_manager, prepared, verb, body,
                    [this, exchange](const HttpExchange::Result& result) { finish(exchange, result); });
}

void WebNotifier::abort(quint64 run)
{
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it) {
        if (it->run == run)
            return it.key()->abort(); // its done runs at once, inside abort()
    }
}

void WebNotifier::finish(HttpExchange* exchange, const HttpExchange::Result& result)
{
    const auto found = m_requests.find(exchange);
    if (found == m_requests.end())
        return;
    Request request = std::move(*found);
    m_requests.erase(found);
    if (result.cancelled) {
        if (request.done)
            request.done(NotificationResult::givenUp());
        return;
    }
    bool ok = false;
    const QString text = request.mask.apply(outcome(result, request, &ok));
    if (!ok || !request.ping)
        m_host.setStatus(text);
    if (!request.done)
        return;
    if (ok)
        return request.done(NotificationResult::delivered(text));
    NotificationResult failed = NotificationResult::failed(text, result.retryAfter);
    failed.category = category(result);
    request.done(failed);
}

QString WebNotifier::outcome(const HttpExchange::Result& result, const Request& request, bool* ok) const
{
    if (!result.answered)
        return QStringLiteral("Error: ") + request.name + result.failure;
    // Qt keeps the reason phrase's bytes as Latin-1 characters: back to bytes, then read as UTF-8 like the body.
    const QString reason = OutsideText::line(result.reason, MaxReasonChars);
    const QString statusText = (QStringLiteral("HTTP %1 ").arg(result.status) + reason).trimmed();
    const WebAnswer answer = readWebAnswer(request.rule, result.status, statusText, result.body);
    *ok = answer.ok;
    // "Error: " or "Success: ", then the entry's name (none for the first).
    const qsizetype colon = answer.text.indexOf(u' ') + 1;
    return answer.text.left(colon) + request.name + answer.text.mid(colon);
}
