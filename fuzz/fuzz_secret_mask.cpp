// The masking of a secret in what a server sends back: whatever the secret and the text, neither the secret nor
// its percent-encoded form is left in the result. A secret with "*" is left out: the mask itself is made of it.
#include "notify/SecretMask.h"

#include <QUrl>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte says how long the secret is; it comes first, the text after it.
    const size_t length = std::min<size_t>(data[0] % 32 + 1, size - 1);
    const QString secret = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(length));
    const QByteArray text(reinterpret_cast<const char*>(data + 1 + length), qsizetype(size - 1 - length));
    if (secret.isEmpty() || secret.contains(u'*'))
        return 0;
    SecretMask mask;
    mask.add(secret);
    const QString shown = QString::fromUtf8(mask.apply(text));
    if (shown.contains(secret) || shown.contains(QString::fromLatin1(QUrl::toPercentEncoding(secret))))
        __builtin_trap();
    return 0;
}
