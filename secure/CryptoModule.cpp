#include "secure/CryptoCls.h"

#include "platform/Modules.h"

// OpenSslCrypto.cpp as the module vistrel-crypto: libcrypto is loaded with the first session's cryptography.
std::unique_ptr<CryptoCls> CryptoCls::make(QString* error)
{
    const auto make = reinterpret_cast<MakeCrypto>(Modules::resolve("vistrel-crypto", CryptoEntry, error));
    return std::unique_ptr<CryptoCls>(make ? make(error) : nullptr);
}
