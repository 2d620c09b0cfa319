#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

/// The cryptography of one secure session: random bytes, MD5, the two RC4 streams (one per
/// direction, each continuous across calls) keyed by MD5 digests, and the RSA PKCS #1 v1.5
/// encryption of the master key. Done by OpenSSL (OpenSslCrypto.cpp) in a library context of its own
/// with the "default" and "legacy" (RC4) providers. Where the program has modules (platform/Modules.h) that
/// part is one, vistrel-crypto, loaded by the first make(): a run without a secure session never loads libcrypto.
class CryptoCls
{
public:
    /// The cryptography of a new session; null and @p error when the providers (or the module) cannot be
    /// loaded (the "provider missing" case).
    static std::unique_ptr<CryptoCls> make(QString* error);
    virtual ~CryptoCls() = default;

    /// Fills @p buffer with @p byteCount random bytes. False (and @p buffer empty) on failure.
    [[nodiscard]] virtual bool GenerateRandomBytes(int byteCount, QByteArray* buffer) = 0;
    /// The 16-byte MD5 digest of @p data, or an empty array when the provider fails.
    virtual QByteArray MD5_Hash(const QByteArray& data) const = 0;
    /// Continues the write stream over @p plaintext. Returns the input unchanged without keys.
    virtual QByteArray RC4_Encrypt(const QByteArray& plaintext) = 0;
    /// Continues the read stream over @p ciphertext. Returns the input unchanged without keys.
    virtual QByteArray RC4_Decrypt(const QByteArray& ciphertext) = 0;
    /// Turns the raw random @p masterKey into its 16-byte MD5 digest, derives @p readKey
    /// (MD5 of master key, "0", challenge, connection-id) and @p writeKey (the same with "1"), keys
    /// both RC4 streams with them and returns the master key encrypted under the RSA key with the
    /// big-endian @p modulus and exponent 65537 (PKCS #1 v1.5), big-endian, as long as the modulus.
    /// False and @p error when a key cannot be made; the keys are then unset.
    [[nodiscard]] virtual bool ExportKeyBlob(QByteArray* masterKey, QByteArray* readKey, QByteArray* writeKey,
                                             const QByteArray& challenge, const QByteArray& connectionId,
                                             const QByteArray& modulus, QByteArray* encryptedKey, QString* error) = 0;
};

/// make() without the loading: the function OpenSslCrypto.cpp exports under this name.
using MakeCrypto = CryptoCls* (*)(QString* error);
inline constexpr char CryptoEntry[] = "vistrelMakeCrypto";
