#include "notify/WebNotifier.h"

#include "notify/NetworkFailure.h"

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
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
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
    const QList<QNetworkReply*> replies = m_requests.keys();
    m_requests.clear();
    for (QNetworkReply* reply : replies) {
        reply->disconnect();
        reply->abort();
        delete reply;
    }
}

void WebNotifier::doHitURL(Notifiers::Done done)
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
    if (!parsed.isValid() || parsed.host().isEmpty())
        return fail(QStringLiteral("Error: could not hit URL"));
    m_host.setStatus(QStringLiteral("Hitting ") + displayedUrl(url));
    Request request;
    request.done = std::move(done);
    start(m_manager.get(prepared(parsed)), std::move(request));
}

QNetworkRequest WebNotifier::prepared(const QUrl& url) const
{
    // Dynamic-DNS services refuse anonymous agents; this one names the program and its version.
    QNetworkRequest request = freshRequest(url, m_host.product().userAgent());
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setTransferTimeout(m_timeoutMs);
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
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (parsed.scheme() != QLatin1String("http") && parsed.scheme() != QLatin1String("https")))
        return fail(QStringLiteral("could not hit URL ") + filled->shown);
    Request sent;
    sent.entry = entry;
    sent.name = name;
    sent.rule = preset ? &preset->answer : nullptr;
    sent.secret = secret;
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
    for (const auto& [header, value] : filled->headers) {
        prepared.setRawHeader(header, value);
        typed = typed || header.compare("Content-Type", Qt::CaseInsensitive) == 0;
    }
    if (!typed && !filled->contentType.isEmpty())
        prepared.setHeader(QNetworkRequest::ContentTypeHeader, filled->contentType);
    sent.done = std::move(done);
    QNetworkReply* reply = request.method == WebRequest::Method::Get
                               ? m_manager.get(prepared)
                               : m_manager.sendCustomRequest(prepared, filled->method, filled->body);
    start(reply, std::move(sent));
}

void WebNotifier::start(QNetworkReply* reply, Request request)
{
    m_requests.insert(reply, std::move(request));
    // Qt would otherwise buffer a long body as fast as it arrives, far past what is read of it.
    reply->setReadBufferSize(MaxBodyBytes);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, reply] {
        const auto found = m_requests.find(reply);
        if (found != m_requests.end())
            readBody(reply, *found);
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] { finish(reply); });
}

void WebNotifier::abort()
{
    for (auto it = m_requests.begin(); it != m_requests.end(); ++it)
        it->cancelled = true;
    const QList<QNetworkReply*> replies = m_requests.keys();
    for (QNetworkReply* reply : replies)
        reply->abort(); // finished runs at once, inside abort()
}

void WebNotifier::readBody(QNetworkReply* reply, Request& request)
{
    if (request.full || !reply->isReadable())
        return;
    request.body += reply->read(MaxBodyBytes - request.body.size());
    if (request.body.size() >= MaxBodyBytes) {
        request.full = true;
        reply->abort();
    }
}

void WebNotifier::finish(QNetworkReply* reply)
{
    const auto found = m_requests.find(reply);
    if (found == m_requests.end())
        return;
    readBody(reply, *found);
    Request request = std::move(*found);
    m_requests.erase(found);
    reply->deleteLater();
    if (request.cancelled) {
        if (request.done)
            request.done(NotificationResult::givenUp());
        return;
    }
    bool ok = false;
    QString text = outcome(reply, request, &ok);
    if (!request.secret.isEmpty()) // an answer that repeats the secret shows it masked
        text.replace(request.secret, QStringLiteral("***"));
    m_host.setStatus(text);
    if (ok && !request.setsAddress.isEmpty())
        WebEntries::setLastSet(m_host.settings(), request.entry, request.setsAddress);
    if (request.done)
        request.done(ok ? NotificationResult::delivered(text) : NotificationResult::failed(text, retryAfterTime(reply)));
}

QString WebNotifier::outcome(QNetworkReply* reply, const Request& request, bool* ok) const
{
    const QNetworkReply::NetworkError error = reply->error();
    const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Errors 1-199 are the connection's and the proxy's: no (whole) answer came, whatever status came first.
    const bool noAnswer = error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
    if (!code.isValid() || (noAnswer && !request.full))
        return QStringLiteral("Error: ") + request.name + networkFailureText(error, m_timeoutMs);
    const int status = code.toInt();
    // Qt keeps the reason phrase's bytes as Latin-1 characters: back to bytes, then read as UTF-8 like the body.
    const QString reason = OutsideText::line(
        reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toLatin1(), MaxReasonChars);
    const QString statusText = (QStringLiteral("HTTP %1 ").arg(status) + reason).trimmed();
    const WebAnswer answer = readWebAnswer(request.rule, status, statusText, request.body);
    *ok = answer.ok;
    // "Error: " or "Success: ", then the entry's name (none for the first).
    const qsizetype colon = answer.text.indexOf(u' ') + 1;
    return answer.text.left(colon) + request.name + answer.text.mid(colon);
}
