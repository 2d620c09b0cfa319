#include "secure/CryptoCls.h"

// Where the program has no modules: OpenSslCrypto.cpp is linked in.
extern "C" CryptoCls* vistrelMakeCrypto(QString* error);

std::unique_ptr<CryptoCls> CryptoCls::make(QString* error)
{
    return std::unique_ptr<CryptoCls>(vistrelMakeCrypto(error));
}
