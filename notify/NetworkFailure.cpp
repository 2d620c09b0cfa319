#include "notify/NetworkFailure.h"

#include "discovery/RetryAfter.h"

#include <QNetworkRequest>

QString networkFailureText(QNetworkReply::NetworkError error, int timeoutMs)
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

QDateTime retryAfterTime(QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 429 && status != 503)
        return {};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::optional<qint64> seconds = retryAfterSeconds(reply->rawHeader("Retry-After").trimmed(), now);
    return seconds ? now.addSecs(*seconds) : QDateTime();
}
