#include "dnsapi/RsaSignature.h"

#include "platform/Modules.h"

#include <QLoggingCategory>

// RsaSignature.cpp as the module vistrel-signature: libcrypto is loaded with the first signature.

namespace {
Q_LOGGING_CATEGORY(lcSignature, "vistrel.dnsapi.signature")
}

QByteArray signRs256(const QByteArray& pem, const QByteArray& data)
{
    QString error;
    QByteArray signature;
    if (const auto sign = reinterpret_cast<SignRs256>(Modules::resolve("vistrel-signature", SignRs256Entry, &error)))
        sign(pem, data, &signature);
    else
        qCWarning(lcSignature, "The module vistrel-signature cannot be loaded: %s", qPrintable(error));
    return signature;
}
