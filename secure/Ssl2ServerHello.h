#pragma once

#include <QByteArray>
#include <QString>

/// The fields of a SERVER-HELLO body that the client uses, read under bounds checks.
struct Ssl2ServerHello
{
    QByteArray certificate;  ///< the server's certificate, DER
    QByteArray connectionId; ///< CONNECTION-ID, echoed in CLIENT-FINISHED

    /// Reads @p body: type, session-id-hit, certificate type and version (not examined), the three
    /// big-endian lengths at offsets 5, 7 and 9, then certificate, cipher specs and connection-id,
    /// which must fill the body exactly. False and @p error when they do not.
    [[nodiscard]] static bool parse(const QByteArray& body, Ssl2ServerHello* hello, QString* error);

    /// The 128-byte big-endian modulus of the certificate's 1024-bit RSA key: the bytes after the
    /// first DER opening 30 81 89 02 81 81 00 of such a key, which must be followed by the
    /// exponent 65537 (02 03 01 00 01). False and @p error when the certificate holds no such key.
    [[nodiscard]] static bool modulusFromCertificate(const QByteArray& certificate, QByteArray* modulus,
                                                     QString* error);
};
