#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

/// Helpers shared by the secure transport's unit tests: certificates made by the openssl command,
/// RSA decryption with the test's private key, and an RC4 and MD5 that do not go through the code
/// under test (a few lines of RC4 here, MD5 from Qt's own implementation).
namespace testkeys {

/// Makes a self-signed certificate with `openssl req -x509 -newkey rsa:<bits>` in @p dir; returns
/// its DER bytes and leaves the key in <dir>/<name>.key.
inline QByteArray makeCertificate(const QString& dir, const QString& name, int bits, const QString& exponent = {})
{
    QStringList args{"req", "-x509", "-newkey", QStringLiteral("rsa:%1").arg(bits), "-nodes", "-keyout",
                     dir + "/" + name + ".key", "-outform", "DER", "-out", dir + "/" + name + ".der", "-days", "2",
                     "-subj", "/CN=127.0.0.1"};
    if (!exponent.isEmpty())
        args << "-pkeyopt" << QStringLiteral("rsa_keygen_pubexp:%1").arg(exponent);
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), args);
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return {};
    QFile der(dir + "/" + name + ".der");
    return der.open(QIODevice::ReadOnly) ? der.readAll() : QByteArray();
}

inline EVP_PKEY* readPrivateKey(const QString& path)
{
    FILE* f = fopen(path.toLocal8Bit().constData(), "r");
    if (!f)
        return nullptr;
    EVP_PKEY* key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
    fclose(f);
    return key;
}

/// PKCS #1 v1.5 decryption with @p key; empty on failure.
inline QByteArray rsaDecrypt(EVP_PKEY* key, const QByteArray& ciphertext)
{
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    QByteArray out(512, '\0');
    size_t length = size_t(out.size());
    const bool ok = ctx && EVP_PKEY_decrypt_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1 &&
                    EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char*>(out.data()), &length,
                                     reinterpret_cast<const unsigned char*>(ciphertext.constData()),
                                     size_t(ciphertext.size())) == 1;
    EVP_PKEY_CTX_free(ctx);
    return ok ? out.left(qsizetype(length)) : QByteArray();
}

/// The RSA modulus of @p key, big-endian without leading zeros.
inline QByteArray modulus(EVP_PKEY* key)
{
    BIGNUM* n = nullptr;
    if (EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n) != 1)
        return {};
    QByteArray out(BN_num_bytes(n), '\0');
    BN_bn2bin(n, reinterpret_cast<unsigned char*>(out.data()));
    BN_free(n);
    return out;
}

/// Points OpenSSL's provider search at an empty folder while it lives, so the "legacy" provider (RC4)
/// cannot be loaded.
class NoLegacyProvider
{
public:
    NoLegacyProvider() : m_saved(qgetenv("OPENSSL_MODULES")) { qputenv("OPENSSL_MODULES", m_empty.path().toLocal8Bit()); }
    ~NoLegacyProvider()
    {
        if (m_saved.isNull())
            qunsetenv("OPENSSL_MODULES");
        else
            qputenv("OPENSSL_MODULES", m_saved);
    }

private:
    QTemporaryDir m_empty;
    QByteArray m_saved;
};

inline QByteArray md5(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

/// RC4, one continuous stream.
class Rc4
{
public:
    explicit Rc4(const QByteArray& key)
    {
        for (int k = 0; k < 256; ++k)
            s[k] = quint8(k);
        for (int k = 0, j = 0; k < 256; ++k) {
            j = (j + s[k] + quint8(key.at(k % key.size()))) & 0xFF;
            std::swap(s[k], s[j]);
        }
    }
    QByteArray crypt(const QByteArray& data)
    {
        QByteArray out = data;
        for (char& c : out) {
            i = (i + 1) & 0xFF;
            j = (j + s[i]) & 0xFF;
            std::swap(s[i], s[j]);
            c = char(quint8(c) ^ s[(s[i] + s[j]) & 0xFF]);
        }
        return out;
    }

private:
    quint8 s[256];
    int i = 0;
    int j = 0;
};

} // namespace testkeys
