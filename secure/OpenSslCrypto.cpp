// CryptoCls over OpenSSL: linked in, or the module vistrel-crypto (see CryptoCls.h).

#include "secure/CryptoCls.h"

#include <QLoggingCategory>

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/provider.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <memory>

namespace {
Q_LOGGING_CATEGORY(lcCrypto, "vistrel.secure.crypto")

QString lastOpenSslError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QStringLiteral("unknown error");
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

template <typename T, void (*Free)(T*)> struct Deleter
{
    void operator()(T* p) const { Free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using ParamBldPtr = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>>;
using ParamPtr = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM, OSSL_PARAM_free>>;
using BigNumPtr = std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>>;
using MdPtr = std::unique_ptr<EVP_MD, Deleter<EVP_MD, EVP_MD_free>>;
using CipherPtr = std::unique_ptr<EVP_CIPHER, Deleter<EVP_CIPHER, EVP_CIPHER_free>>;

const unsigned char* bytes(const QByteArray& a)
{
    return reinterpret_cast<const unsigned char*>(a.constData());
}

class OpenSslCrypto final : public CryptoCls
{
public:
    OpenSslCrypto();
    ~OpenSslCrypto() override;
    OpenSslCrypto(const OpenSslCrypto&) = delete;
    OpenSslCrypto& operator=(const OpenSslCrypto&) = delete;

    bool available() const { return m_ctx != nullptr; }
    const QString& loadError() const { return m_loadError; }

    bool GenerateRandomBytes(int byteCount, QByteArray* buffer) override;
    QByteArray MD5_Hash(const QByteArray& data) const override;
    QByteArray RC4_Encrypt(const QByteArray& plaintext) override;
    QByteArray RC4_Decrypt(const QByteArray& ciphertext) override;
    bool ExportKeyBlob(QByteArray* masterKey, QByteArray* readKey, QByteArray* writeKey, const QByteArray& challenge,
                       const QByteArray& connectionId, const QByteArray& modulus, QByteArray* encryptedKey,
                       QString* error) override;

private:
    [[nodiscard]] bool CreateKey(EVP_CIPHER_CTX** key, const QByteArray& keyBytes, QString* error);
    QByteArray crypt(EVP_CIPHER_CTX* key, const QByteArray& data);

    OSSL_LIB_CTX* m_ctx = nullptr;
    OSSL_PROVIDER* m_default = nullptr;
    OSSL_PROVIDER* m_legacy = nullptr;
    EVP_CIPHER_CTX* m_writeKey = nullptr;
    EVP_CIPHER_CTX* m_readKey = nullptr;
    QString m_loadError;
};

OpenSslCrypto::OpenSslCrypto()
{
    OSSL_LIB_CTX* ctx = OSSL_LIB_CTX_new();
    if (!ctx) {
        m_loadError = lastOpenSslError();
        return;
    }
    m_default = OSSL_PROVIDER_load(ctx, "default");
    m_legacy = m_default ? OSSL_PROVIDER_load(ctx, "legacy") : nullptr;
    if (!m_default || !m_legacy) {
        m_loadError = QStringLiteral("the OpenSSL \"%1\" provider could not be loaded: %2")
                          .arg(m_default ? QStringLiteral("legacy") : QStringLiteral("default"), lastOpenSslError());
        qCWarning(lcCrypto) << m_loadError;
        if (m_default)
            OSSL_PROVIDER_unload(m_default);
        m_default = nullptr;
        OSSL_LIB_CTX_free(ctx);
        return;
    }
    m_ctx = ctx;
}

OpenSslCrypto::~OpenSslCrypto()
{
    EVP_CIPHER_CTX_free(m_writeKey);
    EVP_CIPHER_CTX_free(m_readKey);
    if (m_legacy)
        OSSL_PROVIDER_unload(m_legacy);
    if (m_default)
        OSSL_PROVIDER_unload(m_default);
    OSSL_LIB_CTX_free(m_ctx);
}

bool OpenSslCrypto::GenerateRandomBytes(int byteCount, QByteArray* buffer)
{
    buffer->clear();
    if (!m_ctx || byteCount < 0)
        return false;
    QByteArray out(byteCount, '\0');
    if (byteCount > 0 && RAND_bytes_ex(m_ctx, reinterpret_cast<unsigned char*>(out.data()), size_t(byteCount), 0) != 1)
        return false;
    *buffer = out;
    return true;
}

QByteArray OpenSslCrypto::MD5_Hash(const QByteArray& data) const
{
    if (!m_ctx)
        return {};
    MdPtr md(EVP_MD_fetch(m_ctx, "MD5", nullptr));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!md || EVP_Digest(data.constData(), size_t(data.size()), digest, &length, md.get(), nullptr) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char*>(digest), int(length));
}

bool OpenSslCrypto::CreateKey(EVP_CIPHER_CTX** key, const QByteArray& keyBytes, QString* error)
{
    EVP_CIPHER_CTX_free(*key);
    *key = nullptr;
    CipherPtr rc4(EVP_CIPHER_fetch(m_ctx, "RC4", nullptr));
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!rc4 || !ctx || keyBytes.size() != 16 ||
        EVP_CipherInit_ex2(ctx, rc4.get(), bytes(keyBytes), nullptr, 1, nullptr) != 1) {
        EVP_CIPHER_CTX_free(ctx);
        *error = QStringLiteral("Could not create a session key: ") + lastOpenSslError();
        return false;
    }
    *key = ctx;
    return true;
}

QByteArray OpenSslCrypto::crypt(EVP_CIPHER_CTX* key, const QByteArray& data)
{
    if (!key || data.isEmpty())
        return data;
    QByteArray out(data.size(), '\0');
    int outLength = 0;
    // RC4 is a stream cipher: the context carries the key stream position from call to call.
    if (EVP_CipherUpdate(key, reinterpret_cast<unsigned char*>(out.data()), &outLength, bytes(data), int(data.size())) !=
            1 ||
        outLength != data.size())
        return data;
    return out;
}

QByteArray OpenSslCrypto::RC4_Encrypt(const QByteArray& plaintext)
{
    return crypt(m_writeKey, plaintext);
}

QByteArray OpenSslCrypto::RC4_Decrypt(const QByteArray& ciphertext)
{
    return crypt(m_readKey, ciphertext);
}

bool OpenSslCrypto::ExportKeyBlob(QByteArray* masterKey, QByteArray* readKey, QByteArray* writeKey,
                              const QByteArray& challenge, const QByteArray& connectionId, const QByteArray& modulus,
                              QByteArray* encryptedKey, QString* error)
{
    encryptedKey->clear();
    if (!m_ctx) {
        *error = m_loadError;
        return false;
    }
    *masterKey = MD5_Hash(*masterKey);
    const QByteArray tail = challenge + connectionId;
    *readKey = MD5_Hash(*masterKey + '0' + tail);
    *writeKey = MD5_Hash(*masterKey + '1' + tail);
    if (!CreateKey(&m_readKey, *readKey, error) || !CreateKey(&m_writeKey, *writeKey, error))
        return false;

    // The server's public key: the modulus as sent, exponent 65537.
    BigNumPtr n(BN_bin2bn(bytes(modulus), int(modulus.size()), nullptr));
    BigNumPtr e(BN_new());
    ParamBldPtr build(OSSL_PARAM_BLD_new());
    if (!n || !e || !build || BN_set_word(e.get(), 65537) != 1 ||
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1) {
        *error = QStringLiteral("Could not build the server key: ") + lastOpenSslError();
        return false;
    }
    ParamPtr params(OSSL_PARAM_BLD_to_param(build.get()));
    PkeyCtxPtr fromData(EVP_PKEY_CTX_new_from_name(m_ctx, "RSA", nullptr));
    EVP_PKEY* rawKey = nullptr;
    if (!params || !fromData || EVP_PKEY_fromdata_init(fromData.get()) != 1 ||
        EVP_PKEY_fromdata(fromData.get(), &rawKey, EVP_PKEY_PUBLIC_KEY, params.get()) != 1) {
        *error = QStringLiteral("Could not import the server key: ") + lastOpenSslError();
        return false;
    }
    PkeyPtr key(rawKey);
    PkeyCtxPtr encrypt(EVP_PKEY_CTX_new_from_pkey(m_ctx, key.get(), nullptr));
    size_t length = 0;
    if (!encrypt || EVP_PKEY_encrypt_init(encrypt.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(encrypt.get(), RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_encrypt(encrypt.get(), nullptr, &length, bytes(*masterKey), size_t(masterKey->size())) != 1) {
        *error = QStringLiteral("Could not encrypt the master key: ") + lastOpenSslError();
        return false;
    }
    QByteArray out(qsizetype(length), '\0');
    if (EVP_PKEY_encrypt(encrypt.get(), reinterpret_cast<unsigned char*>(out.data()), &length, bytes(*masterKey),
                         size_t(masterKey->size())) != 1) {
        *error = QStringLiteral("Could not encrypt the master key: ") + lastOpenSslError();
        return false;
    }
    out.truncate(qsizetype(length));
    // Big-endian, as long as the modulus (a short result gets its leading zero bytes back).
    const qsizetype modulusBytes = EVP_PKEY_get_size(key.get());
    if (out.size() < modulusBytes)
        out.prepend(QByteArray(modulusBytes - out.size(), '\0'));
    *encryptedKey = out;
    return true;
}
} // namespace

extern "C" Q_DECL_EXPORT CryptoCls* vistrelMakeCrypto(QString* error)
{
    auto crypto = std::make_unique<OpenSslCrypto>();
    if (crypto->available())
        return crypto.release();
    *error = crypto->loadError();
    return nullptr;
}
