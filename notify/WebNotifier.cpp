#include "notify/WebNotifier.h"

#include "core/NotifySettings.h"
#include "core/ProductInfo.h"
#include "notify/DynDnsAnswer.h"
#include "notify/NotificationHost.h"
#include "notify/Placeholders.h"
#include "platform/DisplayedUrl.h"
#include "platform/FreshRequest.h"
#include "platform/OutsideText.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
/// What happened when no HTTP answer came, in plain words.
QString failureText(QNetworkReply::NetworkError error, int timeoutMs)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("the server refused the connection");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("the server closed the connection without an answer");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("the server name was not found");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer time-out; abort() and a full body are told apart
        return QStringLiteral("no answer within %1 seconds").arg(timeoutMs / 1000);
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("the secure connection (TLS) could not be set up");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("the network is not available");
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("too many redirects");
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("the server redirected from https to http; not followed");
    case QNetworkReply::ProtocolUnknownError:
        return QStringLiteral("only http and https URLs can be hit");
    default:
        return QStringLiteral("the request failed (network error %1)").arg(int(error));
    }
}
} // namespace

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

    const ProductInfo& product = m_host.product();
    // Dynamic-DNS services refuse anonymous agents; this one names the program and its version.
    QNetworkRequest request = freshRequest(parsed, QStringLiteral("%1/%2.%3")
                                                       .arg(product.productName)
                                                       .arg(product.majorVersion)
                                                       .arg(product.minorVersion)
                                                       .toUtf8());
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setTransferTimeout(m_timeoutMs);

    QNetworkReply* reply = m_manager.get(request);
    m_requests.insert(reply, Request{{}, false, false, std::move(done)});
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
    const QString text = outcome(reply, request, &ok);
    m_host.setStatus(text);
    if (request.done)
        request.done(ok ? NotificationResult::delivered(text) : NotificationResult::failed(text));
}

QString WebNotifier::outcome(QNetworkReply* reply, const Request& request, bool* ok) const
{
    const QNetworkReply::NetworkError error = reply->error();
    const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Errors 1-199 are the connection's and the proxy's: no (whole) answer came, whatever status came first.
    const bool noAnswer = error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
    if (!code.isValid() || (noAnswer && !request.full))
        return QStringLiteral("Error: ") + failureText(error, m_timeoutMs);
    const int status = code.toInt();
    // Qt keeps the reason phrase's bytes as Latin-1 characters: back to bytes, then read as UTF-8 like the body.
    const QString reason = OutsideText::line(
        reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toLatin1(), MaxReasonChars);
    const QString statusText = (QStringLiteral("HTTP %1 ").arg(status) + reason).trimmed();
    if (status < 200 || status > 299)
        return QStringLiteral("Error: ") + statusText;
    const DynDnsAnswer answer = DynDnsAnswer::read(request.body);
    if (answer.kind == DynDnsAnswer::Kind::Error)
        return QStringLiteral("Error: ") + answer.word + QStringLiteral(": ") + answer.explanation;
    *ok = true;
    const QString line = OutsideText::firstLine(request.body);
    return QStringLiteral("Success: ") + (line.isEmpty() ? statusText : line);
}
