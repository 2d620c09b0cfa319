#include "platform/HttpGet.h"

#include <QEventLoop>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

HttpGet::HttpGet(QObject* parent) : QObject(parent)
{
    m_manager.setProxy(QNetworkProxy::NoProxy);
}

QByteArray HttpGet::getURLText(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return {};

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla"));
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(m_timeoutMs);

    QByteArray body;
    QPointer<QNetworkReply> reply = m_manager.get(request);
    // Qt would otherwise buffer a long body as fast as it arrives, far past what is kept of it.
    reply->setReadBufferSize(ReadBufferBytes);
    QEventLoop loop;
    connect(reply, &QNetworkReply::readyRead, &loop, [&body, reply] {
        body += reply->read(MaxBodyBytes - body.size());
        if (body.size() >= MaxBodyBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    if (reply) {
        if (body.size() < MaxBodyBytes)
            body += reply->read(MaxBodyBytes - body.size());
        reply->deleteLater();
    }
    return body;
}
