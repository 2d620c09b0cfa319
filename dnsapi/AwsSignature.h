#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QUrl>

#include <utility>

/// AWS's Signature Version 4 for a request sent with its credentials in the Authorization header: the canonical
/// request, the string to sign, the signing key derived from the date, region and service, and the header.
namespace AwsSignature {
struct Credentials
{
    QByteArray accessKeyId;
    QByteArray secretAccessKey;
    QByteArray region;  ///< "us-east-1"
    QByteArray service; ///< "route53"
};

using Headers = QList<std::pair<QByteArray, QByteArray>>;

/// @p time as the x-amz-date header has it: "20150830T123600Z".
QByteArray amzDate(const QDateTime& time);

/// The Authorization header's value for @p method to @p url with @p body at @p time. The host (with its port when
/// the URL names one), x-amz-date (amzDate(@p time), which the request must carry) and @p headers are signed.
QByteArray authorization(const Credentials& credentials, const QByteArray& method, const QUrl& url,
                         const QByteArray& body, const QDateTime& time, const Headers& headers = {});
} // namespace AwsSignature
