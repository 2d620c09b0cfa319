#include "dnsapi/AwsSignature.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QUrlQuery>

#include <algorithm>

namespace {
QByteArray sha256Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

QByteArray hmac(const QByteArray& key, const QByteArray& data)
{
    return QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Sha256);
}

/// Percent-encoded as the canonical form wants it: everything but letters, digits, "-", "_", "." and "~".
QByteArray encoded(const QString& text)
{
    return QUrl::toPercentEncoding(text);
}

/// The query's pairs, each side encoded, sorted by name and then value.
QByteArray canonicalQuery(const QUrl& url)
{
    QList<std::pair<QByteArray, QByteArray>> pairs;
    for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        pairs.append({encoded(name), encoded(value)});
    std::sort(pairs.begin(), pairs.end());
    QByteArrayList parts;
    for (const auto& [name, value] : std::as_const(pairs))
        parts << name + '=' + value;
    return parts.join('&');
}

/// Each segment of the path encoded once (the rule of every service but S3, which does not come here).
QByteArray canonicalPath(const QUrl& url)
{
    const QStringList segments = url.path(QUrl::FullyDecoded).split(u'/');
    QByteArrayList parts;
    for (const QString& segment : segments)
        parts << encoded(segment);
    const QByteArray path = parts.join('/');
    return path.isEmpty() ? QByteArrayLiteral("/") : path;
}
} // namespace

namespace AwsSignature {
QByteArray amzDate(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
}

QByteArray authorization(const Credentials& credentials, const QByteArray& method, const QUrl& url,
                         const QByteArray& body, const QDateTime& time, const Headers& headers)
{
    const QByteArray date = amzDate(time);
    const QByteArray day = date.left(8);
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());
    Headers signedHeaders{{"host", host}, {"x-amz-date", date}};
    for (const auto& [name, value] : headers)
        signedHeaders.append({name.toLower(), value.trimmed()});
    std::sort(signedHeaders.begin(), signedHeaders.end());
    QByteArray canonicalHeaders;
    QByteArrayList names;
    for (const auto& [name, value] : std::as_const(signedHeaders)) {
        canonicalHeaders += name + ':' + value.simplified() + '\n';
        names << name;
    }
    const QByteArray signedNames = names.join(';');
    const QByteArray canonicalRequest = method + '\n' + canonicalPath(url) + '\n' + canonicalQuery(url) + '\n' +
                                        canonicalHeaders + '\n' + signedNames + '\n' + sha256Hex(body);
    const QByteArray scope = day + '/' + credentials.region + '/' + credentials.service + "/aws4_request";
    const QByteArray stringToSign = "AWS4-HMAC-SHA256\n" + date + '\n' + scope + '\n' + sha256Hex(canonicalRequest);
    QByteArray key = hmac("AWS4" + credentials.secretAccessKey, day);
    key = hmac(key, credentials.region);
    key = hmac(key, credentials.service);
    key = hmac(key, "aws4_request");
    return "AWS4-HMAC-SHA256 Credential=" + credentials.accessKeyId + '/' + scope + ", SignedHeaders=" + signedNames +
           ", Signature=" + hmac(key, stringToSign).toHex();
}
} // namespace AwsSignature
