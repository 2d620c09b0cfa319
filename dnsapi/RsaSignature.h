#pragma once

#include <QByteArray>

/// The RS256 signature (RSA PKCS #1 v1.5 over SHA-256) of @p data with the RSA private key in @p pem; empty when
/// there is no such key (an encrypted one is refused). Done by OpenSSL in RsaSignature.cpp: where the program has
/// modules (platform/Modules.h) that is the module vistrel-signature, loaded by the first signature.
QByteArray signRs256(const QByteArray& pem, const QByteArray& data);

/// signRs256() as RsaSignature.cpp exports it under the name SignRs256Entry.
using SignRs256 = void (*)(const QByteArray& pem, const QByteArray& data, QByteArray* signature);
inline constexpr char SignRs256Entry[] = "vistrelSignRs256";
