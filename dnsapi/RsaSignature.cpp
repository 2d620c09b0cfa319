// signRs256() over OpenSSL: linked in, or the module vistrel-signature (see RsaSignature.h).

#include "dnsapi/RsaSignature.h"

#include <QtGlobal>

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

/// An encrypted key is refused rather than asked a passphrase on the terminal.
int noPassphrase(char*, int, int, void*)
{
    return 0;
}
} // namespace

extern "C" Q_DECL_EXPORT void vistrelSignRs256(const QByteArray& pem, const QByteArray& data, QByteArray* signature)
{
    const BioPtr bio(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    const PkeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
    const MdCtxPtr context(EVP_MD_CTX_new());
    signature->clear();
    size_t size = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    if (key && context && EVP_PKEY_base_id(key.get()) == EVP_PKEY_RSA &&
        EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
        EVP_DigestSign(context.get(), nullptr, &size, bytes, size_t(data.size())) == 1) {
        signature->resize(qsizetype(size));
        if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature->data()), &size, bytes,
                           size_t(data.size())) == 1)
            signature->resize(qsizetype(size));
        else
            signature->clear();
    }
    ERR_clear_error();
}
