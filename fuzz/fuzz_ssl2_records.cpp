// SSL 2.0 records and handshake messages from the server: the record loop in every state it can
// reach with arbitrary bytes, the SERVER-HELLO reader and the certificate search.
#include "secure/SSLv2.h"
#include "secure/Ssl2RecordReader.h"
#include "secure/Ssl2ServerHello.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    Ssl2ServerHello hello;
    QString error;
    if (Ssl2ServerHello::parse(input, &hello, &error)) {
        if (11 + hello.certificate.size() + hello.connectionId.size() > input.size())
            __builtin_trap();
    }
    QByteArray modulus;
    if (Ssl2ServerHello::modulusFromCertificate(input, &modulus, &error) && modulus.size() != 128)
        __builtin_trap();

    // The first byte chooses how the rest is cut into arrivals.
    const int step = size > 0 ? 1 + data[0] % 64 : 1;
    QByteArray written;
    SSLv2 client([&written](const QByteArray& bytes) { written += bytes; });
    if (!client.SendClientHello(CryptoCls::make(&error), &error))
        return 0;
    for (qsizetype at = 1; at < input.size(); at += step) {
        const SSLv2::Outcome outcome = client.receive(input.mid(at, step));
        if (!outcome.error.isEmpty())
            break;
        if (!outcome.data.isEmpty() && !client.established())
            __builtin_trap();
    }
    return 0;
}
