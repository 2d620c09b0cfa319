#include "dnsapi/RsaSignature.h"

// Where the program has no modules: RsaSignature.cpp is linked in.
extern "C" void vistrelSignRs256(const QByteArray& pem, const QByteArray& data, QByteArray* signature);

QByteArray signRs256(const QByteArray& pem, const QByteArray& data)
{
    QByteArray signature;
    vistrelSignRs256(pem, data, &signature);
    return signature;
}
