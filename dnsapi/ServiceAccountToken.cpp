#include "dnsapi/ServiceAccountToken.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace {
template <typename T, void (*Free)(T*)> struct Deleter
{
    void operator()(T* p) const { Free(p); }
};
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;

QByteArray base64Url(const QByteArray& data)
{
    return data.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

/// An encrypted key is refused rather than asked a passphrase on the terminal.
int noPassphrase(char*, int, int, void*)
{
    return 0;
}

/// The RS256 signature of @p data with the RSA key in @p pem; empty when there is no such key.
QByteArray signRs256(const QByteArray& pem, const QByteArray& data)
{
    const BioPtr bio(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    const PkeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
    const MdCtxPtr context(EVP_MD_CTX_new());
    QByteArray signature;
    size_t size = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    if (key && context && EVP_PKEY_base_id(key.get()) == EVP_PKEY_RSA &&
        EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
        EVP_DigestSign(context.get(), nullptr, &size, bytes, size_t(data.size())) == 1) {
        signature.resize(qsizetype(size));
        if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size, bytes,
                           size_t(data.size())) == 1)
            signature.resize(qsizetype(size));
        else
            signature.clear();
    }
    ERR_clear_error();
    return signature;
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
