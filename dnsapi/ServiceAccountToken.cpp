#include "dnsapi/ServiceAccountToken.h"

#include "dnsapi/RsaSignature.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QByteArray base64Url(const QByteArray& data)
{
    return data.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
} // namespace

namespace ServiceAccountToken {
std::optional<Key> read(const QString& keyFile)
{
    const QJsonObject object = QJsonDocument::fromJson(keyFile.toUtf8()).object();
    Key key{object.value(u"client_email").toString(), object.value(u"private_key").toString().toUtf8(),
            QUrl(object.value(u"token_uri").toString())};
    if (key.clientEmail.isEmpty() || key.privateKey.isEmpty())
        return std::nullopt;
    // The signed assertion goes only over https, or to this machine.
    const bool local = key.tokenUri.scheme() == QLatin1String("http") && QHostAddress(key.tokenUri.host()).isLoopback();
    if (!(key.tokenUri.scheme() == QLatin1String("https") && !key.tokenUri.host().isEmpty()) && !local)
        key.tokenUri = QUrl(QString::fromLatin1(DefaultTokenUri));
    return key;
}

QByteArray assertion(const Key& key, const QString& scope, const QDateTime& now)
{
    const qint64 issued = now.toSecsSinceEpoch();
    const QByteArray header = base64Url(
        compact({{QStringLiteral("alg"), QStringLiteral("RS256")}, {QStringLiteral("typ"), QStringLiteral("JWT")}}));
    const QByteArray claims = base64Url(compact({{QStringLiteral("iss"), key.clientEmail},
                                                 {QStringLiteral("scope"), scope},
                                                 {QStringLiteral("aud"), key.tokenUri.toString()},
                                                 {QStringLiteral("iat"), issued},
                                                 {QStringLiteral("exp"), issued + 3600}}));
    const QByteArray signature = signRs256(key.privateKey, header + '.' + claims);
    return signature.isEmpty() ? QByteArray() : header + '.' + claims + '.' + base64Url(signature);
}

QByteArray requestBody(const QByteArray& assertion)
{
    return "grant_type=" + QUrl::toPercentEncoding(QStringLiteral("urn:ietf:params:oauth:grant-type:jwt-bearer")) +
           "&assertion=" + assertion; // base64url and dots: nothing to encode
}
} // namespace ServiceAccountToken
