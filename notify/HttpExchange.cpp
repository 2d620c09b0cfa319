#include "notify/HttpExchange.h"

#include "discovery/RetryAfter.h"
#include "platform/OutsideText.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {
/// What happened when no HTTP answer came, in plain words.
QString failureText(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("the server refused the connection");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("the server closed the connection without an answer");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("the server name was not found");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("the secure connection (TLS) could not be set up or its certificate was not trusted");
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

int portOf(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

/// "https://host:port" of @p url, cleaned for showing.
QString originText(const QUrl& url)
{
    return OutsideText::line(QStringView(QStringLiteral("%1://%2:%3").arg(url.scheme(), url.host()).arg(portOf(url))),
                             100);
}
} // namespace

HttpExchange::HttpExchange(Options options) : m_options(std::move(options))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_reply)
            m_reply->abort();
    });
}

void HttpExchange::start(QNetworkAccessManager& manager, QNetworkRequest request, const QByteArray& verb,
                         const QByteArray& body, Done done)
{
    m_manager = &manager;
    m_done = std::move(done);
    m_verb = verb;
    m_sentBody = body;
    // Redirects are followed here, one request each, so that each is decided before anything is sent.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_options.timeoutMs);
    m_request = request;
    // The transfer time-out only bounds a stall: a server sending a byte now and then is ended here.
    m_deadline.start(m_options.timeoutMs);
    send();
}

void HttpExchange::send()
{
    m_body.clear();
    m_cut = false;
    m_reply = m_verb == "GET" ? m_manager->get(m_request) : m_manager->sendCustomRequest(m_request, m_verb, m_sentBody);
    // Qt would otherwise buffer a long body as fast as it arrives, far past what is read of it.
    m_reply->setReadBufferSize(64 * 1024);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpExchange::readBody);
    connect(m_reply, &QNetworkReply::finished, this, &HttpExchange::finish);
}

HttpExchange::~HttpExchange()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply;
    }
}

void HttpExchange::abort()
{
    m_cancelled = true;
    if (m_reply)
        m_reply->abort(); // finished runs at once, inside abort()
}

bool HttpExchange::followed(QNetworkReply* reply, int status)
{
    const QByteArray location = reply->rawHeader("Location");
    if (m_options.redirects != Redirects::Follow || location.isEmpty() ||
        !(status == 301 || status == 302 || status == 303 || status == 307 || status == 308))
        return false;
    const QUrl from = m_request.url();
    QUrl to = from.resolved(QUrl::fromEncoded(location.trimmed()));
    const bool sameHost = to.host().compare(from.host(), Qt::CaseInsensitive) == 0;
    const bool sameOrigin = sameHost && to.scheme() == from.scheme() && portOf(to) == portOf(from);
    // http://host/ sent on to https://host/ stays with the same owner, now encrypted: services do that.
    const bool upgrade = sameHost && from.scheme() == QLatin1String("http") && to.scheme() == QLatin1String("https") &&
                         portOf(to) == 443;
    if (++m_redirects > MaxRedirects) {
        m_refused = failureText(QNetworkReply::TooManyRedirectsError);
    } else if (!to.isValid() || to.host().isEmpty() ||
               (to.scheme() != QLatin1String("https") && to.scheme() != QLatin1String("http"))) {
        m_refused = QStringLiteral("the server redirected to an address that is no http or https URL; not followed");
    } else if (from.scheme() == QLatin1String("https") && to.scheme() != QLatin1String("https")) {
        m_refused = failureText(QNetworkReply::InsecureRedirectError);
    } else if (!sameOrigin && !upgrade && m_options.carriesSecret) {
        // Headers and, on 307 and 308, the body would go along: the secret must not leave its origin.
        m_refused = QStringLiteral("the server redirected to another site (%1); not followed, since the request "
                                   "carries a secret")
                        .arg(originText(to));
    } else {
        // RFC 9110 section 15.4: 303, and 301 and 302 after a POST, go on as a GET without the body.
        if (status == 303 || ((status == 301 || status == 302) && m_verb == "POST")) {
            m_verb = "GET";
            m_sentBody.clear();
            m_request.setHeader(QNetworkRequest::ContentTypeHeader, QVariant());
        }
        // The user and password of the URL go on to the same host as they would have gone there anyway.
        if ((sameOrigin || upgrade) && to.userInfo().isEmpty())
            to.setUserInfo(from.userInfo());
        m_request.setUrl(to);
        send();
        return true;
    }
    return false;
}

void HttpExchange::readBody()
{
    if (!m_reply || m_cut || !m_reply->isReadable())
        return;
    m_body += m_reply->read(m_options.maxBodyBytes + 1 - m_body.size());
    if (m_body.size() > m_options.maxBodyBytes) {
        m_body.truncate(m_options.maxBodyBytes);
        m_cut = true;
        m_reply->abort();
    }
}

QString HttpExchange::timeText() const
{
    return QString::number(m_options.timeoutMs / 1000.0);
}

void HttpExchange::finish()
{
    if (!m_reply)
        return;
    readBody();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!m_cancelled && !m_timedOut && code.isValid() && followed(reply, code.toInt()))
        return;
    m_deadline.stop();

    Result result;
    result.cancelled = m_cancelled;
    const QNetworkReply::NetworkError error = reply->error();
    // Errors 1-199 are the connection's and the proxy's: no whole answer came, whatever status came first.
    const bool broken = error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
    if (m_cancelled) {
        // The owner asked for it: nothing to say.
    } else if (!m_refused.isEmpty()) {
        result.failure = m_refused;
    } else if (code.isValid() && (!broken || m_cut)) {
        result.answered = true;
        result.status = code.toInt();
        result.reason =
            m_options.mask.apply(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toLatin1());
        result.body = m_options.mask.apply(m_body);
        result.cut = m_cut;
        if (result.status == 429 || result.status == 503) {
            const QDateTime now = QDateTime::currentDateTimeUtc();
            const std::optional<qint64> seconds = retryAfterSeconds(reply->rawHeader("Retry-After").trimmed(), now);
            result.retryAfter = seconds ? now.addSecs(*seconds) : QDateTime();
            result.retryAfterSeconds = seconds.value_or(-1);
        }
    } else if (m_timedOut || error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError) {
        result.timedOut = true;
        result.failure = QStringLiteral("timed out: no whole answer within %1 seconds").arg(timeText());
    } else {
        result.failure = failureText(error);
    }
    // Done may end the owner, and this with it: nothing here is touched after it.
    deleteLater();
    if (Done done = std::move(m_done))
        done(result);
}
