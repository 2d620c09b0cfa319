#include "secure/Ssl2ServerHello.h"

namespace {
int u16(const QByteArray& b, int at)
{
    return static_cast<unsigned char>(b.at(at)) * 256 + static_cast<unsigned char>(b.at(at + 1));
}
} // namespace

bool Ssl2ServerHello::parse(const QByteArray& body, Ssl2ServerHello* hello, QString* error)
{
    constexpr int fixedPart = 11;
    if (body.size() < fixedPart) {
        *error = QStringLiteral("SERVER-HELLO of %1 bytes is shorter than its fixed fields").arg(body.size());
        return false;
    }
    const qsizetype certificateLength = u16(body, 5);
    const qsizetype cipherSpecsLength = u16(body, 7);
    const qsizetype connectionIdLength = u16(body, 9);
    if (fixedPart + certificateLength + cipherSpecsLength + connectionIdLength != body.size()) {
        *error = QStringLiteral("SERVER-HELLO lengths (%1, %2, %3) do not fit its %4 bytes")
                     .arg(certificateLength)
                     .arg(cipherSpecsLength)
                     .arg(connectionIdLength)
                     .arg(body.size());
        return false;
    }
    hello->certificate = body.mid(fixedPart, certificateLength);
    hello->connectionId = body.right(connectionIdLength);
    return true;
}

bool Ssl2ServerHello::modulusFromCertificate(const QByteArray& certificate, QByteArray* modulus, QString* error)
{
    static const QByteArray opening = QByteArray::fromHex("30818902818100");
    static const QByteArray exponent = QByteArray::fromHex("0203010001");
    constexpr int modulusBytes = 128;
    const qsizetype at = certificate.indexOf(opening);
    if (at < 0) {
        *error = QStringLiteral("the certificate holds no 1024-bit RSA key");
        return false;
    }
    const qsizetype start = at + opening.size();
    if (certificate.size() - start < modulusBytes + exponent.size() ||
        certificate.mid(start + modulusBytes, exponent.size()) != exponent) {
        *error = QStringLiteral("the certificate's 1024-bit RSA key is cut short or has another exponent than 65537");
        return false;
    }
    *modulus = certificate.mid(start, modulusBytes);
    return true;
}
