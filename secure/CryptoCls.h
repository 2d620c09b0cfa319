#pragma once

#include <QByteArray>
#include <QString>

struct ossl_lib_ctx_st;
struct ossl_provider_st;
struct evp_cipher_ctx_st;

/// The cryptography of one secure session: random bytes, MD5, the two RC4 streams (one per
/// direction, each continuous across calls) keyed by MD5 digests, and the RSA PKCS #1 v1.5
/// encryption of the master key. Runs in an OpenSSL library context of its own with the "default"
/// and "legacy" (RC4) providers; when either cannot be loaded the instance is not available() and
/// every operation fails quietly.
class CryptoCls
{
public:
    CryptoCls();
    ~CryptoCls();
    CryptoCls(const CryptoCls&) = delete;
    CryptoCls& operator=(const CryptoCls&) = delete;

    /// False when the providers could not be loaded (the "provider missing" case).
    bool available() const { return m_ctx != nullptr; }
    /// Why the providers could not be loaded.
    const QString& loadError() const { return m_loadError; }

    /// Fills @p buffer with @p byteCount random bytes. False (and @p buffer empty) on failure.
    [[nodiscard]] bool GenerateRandomBytes(int byteCount, QByteArray* buffer);
    /// The 16-byte MD5 digest of @p data, or an empty array when the provider fails.
    QByteArray MD5_Hash(const QByteArray& data) const;
    /// Continues the write stream over @p plaintext. Returns the input unchanged without keys.
    QByteArray RC4_Encrypt(const QByteArray& plaintext);
    /// Continues the read stream over @p ciphertext. Returns the input unchanged without keys.
    QByteArray RC4_Decrypt(const QByteArray& ciphertext);
    /// Turns the raw random @p masterKey into its 16-byte MD5 digest, derives @p readKey
    /// (MD5 of master key, "0", challenge, connection-id) and @p writeKey (the same with "1"), keys
    /// both RC4 streams with them and returns the master key encrypted under the RSA key with the
    /// big-endian @p modulus and exponent 65537 (PKCS #1 v1.5), big-endian, as long as the modulus.
    /// False and @p error when a key cannot be made; the keys are then unset.
    [[nodiscard]] bool ExportKeyBlob(QByteArray* masterKey, QByteArray* readKey, QByteArray* writeKey,
                                     const QByteArray& challenge, const QByteArray& connectionId,
                                     const QByteArray& modulus, QByteArray* encryptedKey, QString* error);

private:
    [[nodiscard]] bool CreateKey(evp_cipher_ctx_st** key, const QByteArray& keyBytes, QString* error);
    QByteArray crypt(evp_cipher_ctx_st* key, const QByteArray& data);

    ossl_lib_ctx_st* m_ctx = nullptr;
    ossl_provider_st* m_default = nullptr;
    ossl_provider_st* m_legacy = nullptr;
    evp_cipher_ctx_st* m_writeKey = nullptr;
    evp_cipher_ctx_st* m_readKey = nullptr;
    QString m_loadError;
};
