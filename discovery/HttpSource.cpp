#include "discovery/HttpSource.h"

#include "discovery/AddressBody.h"
#include "discovery/DiscoveryLog.h"
#include "discovery/RetryAfter.h"
#include "platform/FreshRequest.h"
#include "platform/OutsideText.h"

#include <QNetworkReply>

namespace {

constexpr qint64 MaxBodyBytes = 256; // the strict body rule's limit

} // namespace

HttpSource::HttpSource(const QUrl& url, QString uri, QObject* parent)
    : AddressSource(std::move(uri), parent), m_url(url)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no answer within %1 ms").arg(m_timer.interval())); });
}

HttpSource::~HttpSource()
{
    cancel();
}

void HttpSource::start(int timeoutMs)
{
    cancel();
    const QString scheme = m_url.scheme().toLower();
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    m_body.clear();
    m_timer.start(timeoutMs);
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        // A failure from the event loop, as start() never reports.
        m_reply = nullptr;
        QMetaObject::invokeMethod(
            this,
            [this, scheme] {
                if (m_timer.isActive())
                    fail(QStringLiteral("unsupported scheme %1").arg(scheme));
            },
            Qt::QueuedConnection);
        return;
    }
    m_reply = m_manager->get(freshRequest(m_url, QByteArrayLiteral("Mozilla")));
    m_reply->setReadBufferSize(MaxReadBytes);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpSource::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HttpSource::onFinished);
}

void HttpSource::cancel()
{
    m_timer.stop();
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void HttpSource::onReadyRead()
{
    if (!m_reply)
        return;
    markReplied();
    m_body += m_reply->read(MaxReadBytes - m_body.size());
    // Enough to know it is no address body: the rest is not fetched.
    if (m_body.size() > MaxBodyBytes)
        fail(QStringLiteral("body longer than %1 bytes").arg(MaxBodyBytes));
}

void HttpSource::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        markReplied(); // any HTTP answer, an empty body or an error status too
    if (const int code = status.toInt(); code == 429 || code == 403) {
        // The server refuses this client: the lookup pauses it, as long as it asks when it says how long.
        const std::optional<qint64> seconds =
            retryAfterSeconds(reply->rawHeader("Retry-After"), QDateTime::currentDateTimeUtc());
        markRefused(code, seconds ? std::optional<qint64>(*seconds * 1000) : std::nullopt);
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(status.isValid() ? QStringLiteral("HTTP status %1").arg(status.toInt())
                              : OutsideText::line(reply->errorString()));
        return;
    }
    m_body += reply->read(MaxReadBytes - m_body.size());
    if (m_body.size() > MaxBodyBytes) {
        fail(QStringLiteral("body longer than %1 bytes").arg(MaxBodyBytes));
        return;
    }
    const std::optional<QString> text = externalAddressFromBody(m_body);
    if (!text) {
        fail(QStringLiteral("body is not one address: \"%1\"").arg(OutsideText::line(m_body.left(160), 40)));
        return;
    }
    const QHostAddress address = hostAddressFromText(*text);
    cancel();
    emit answered(address);
}

void HttpSource::fail(const QString& reason)
{
    cancel();
    emit failed(reason);
}
