#include "notify/WebNotifier.h"

#include "core/NotifySettings.h"
#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"
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
} // namespace

WebValues hostWebValues(NotificationHost& host, const QString& secret)
{
    return {host.internalAddress(),
            host.externalAddress(),
            host.externalIPv6Address(),
            host.previousInternalAddress(),
            host.previousExternalAddress(),
            host.previousExternalIPv6Address(),
            QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
            secret};
}

QString webNotificationUrl(NotificationHost& host)
{
    return substitutePlaceholders(host.notifySettings().url, urlPlaceholders(), host.internalAddress(),
                                  host.externalAddress(), host.externalIPv6Address());
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

void WebNotifier::sendFirstUrl(Notifiers::Done done)
{
    const auto fail = [this, &done](const QString& status) {
        m_host.setStatus(status);
        if (done)
            done(NotificationResult::failed(status));
    };
    const NotifySettings& values = m_host.notifySettings();
    if (values.url.isEmpty())
        return fail(QStringLiteral("Error: Please enter a URL to hit"));
    const QString url = webNotificationUrl(m_host);
    // Checked before it is shown: a URL that does not parse could hide its password from the masking.
    const QUrl parsed(withEscapedUserInfo(url));
    if (!isWebUrl(parsed))
        return fail(QStringLiteral("Error: could not hit URL"));
    m_host.setStatus(QStringLiteral("Hitting ") + displayedUrl(url));
    Request request;
    request.done = std::move(done);
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

void WebNotifier::send(int entry, Notifiers::Done done)
{
    QString error;
    const std::optional<WebRequest> request = WebEntries::load(m_host.settings(), entry, &error);
    const QString label = QStringLiteral("web request %1").arg(entry + 1);
    if (!request) {
        const QString status = error.isEmpty() ? QStringLiteral("Error: There is no %1").arg(label)
                                               : QStringLiteral("Error: The %1 in the settings is damaged (%2); "
                                                                "skipped")
                                                     .arg(label, error);
        m_host.setStatus(status);
        if (done)
            done(NotificationResult::failed(status));
        return;
    }
    PasswordStore* store = WebEntries::secretStore(m_host, entry);
    if (store)
        store->start(); // an entry made since the program started has not asked the keyring yet
    if (store && !store->isReady()) {
        // Asked for before the keyring answered: the request starts once its secret is known.
        store->whenReady(&m_manager, [this, entry, request = *request, done = std::move(done)]() mutable {
            sendFilled(entry, request, WebEntries::secretStore(m_host, entry)->password(), std::move(done));
        });
        return;
    }
    const QString secret = store ? store->password() : m_host.settings().read(WebEntries::secretKey(entry));
    sendFilled(entry, *request, secret, std::move(done));
}

void WebNotifier::sendFilled(int entry, const WebRequest& request, const QString& secret, Notifiers::Done done)
{
    const QString name = (request.name.trimmed().isEmpty() ? QStringLiteral("web request %1").arg(entry + 1)
                                                           : OutsideText::line(request.name, 40)) +
                         QStringLiteral(": ");
    const auto fail = [this, &done, &name](const QString& what) {
        const QString status = QStringLiteral("Error: ") + name + what;
        m_host.setStatus(status);
        if (done)
            done(NotificationResult::failed(status));
    };
    const WebPreset* preset = findWebPreset(request.preset);
    const WebValues values = hostWebValues(m_host, secret);
    QString error;
    const std::optional<FilledRequest> filled = fillWebRequest(request, values, &error);
    if (!filled)
        return fail(error);
    const QUrl parsed(withEscapedUserInfo(filled->url));
    if (!isWebUrl(parsed))
        return fail(QStringLiteral("could not hit URL ") + filled->shown);
    Request sent;
    sent.entry = entry;
    sent.name = name;
    sent.rule = preset ? &preset->answer : nullptr;
    sent.mask.add(secret);
    maskPassword(sent.mask, parsed);
    if (preset && preset->setsAddress) {
        // Never an update that changes nothing: services count those as abuse.
        sent.setsAddress = values.external;
        if (WebEntries::lastSet(m_host.settings(), entry) == values.external) {
            const QString status =
                QStringLiteral("Success: ") + name + values.external + QStringLiteral(" is already set; nothing sent");
            m_host.setStatus(status);
            if (done)
                done(NotificationResult::delivered(status));
            return;
        }
    }
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
    for (const QString* part : {&request.url, &request.headers, &request.body})
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

void WebNotifier::abort()
{
    const QList<HttpExchange*> exchanges = m_requests.keys();
    for (HttpExchange* exchange : exchanges)
        exchange->abort(); // its done runs at once, inside abort()
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
    m_host.setStatus(text);
    if (ok && !request.setsAddress.isEmpty())
        WebEntries::setLastSet(m_host.settings(), request.entry, request.setsAddress);
    if (request.done)
        request.done(ok ? NotificationResult::delivered(text) : NotificationResult::failed(text, result.retryAfter));
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
