// RDAP answers and bootstrap registries: whatever bytes a server sends, reading ends, and the text shown holds no
// control character but line feed; a registry names only web base URLs ending in "/".
#include "nettools/RdapAnswer.h"
#include "nettools/RdapBootstrap.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    if (const std::optional<QString> text = RdapAnswer::read(bytes, &error)) {
        for (const QChar c : *text) {
            if (c.unicode() < 0x20 && c != QLatin1Char('\n'))
                __builtin_trap();
        }
    } else if (error.isEmpty()) {
        __builtin_trap();
    }
    if (const std::optional<RdapBootstrap> registry = RdapBootstrap::parse(bytes, &error)) {
        for (const char* query : {"a.example.test", "192.0.2.7", "2001:db8::/48", "AS64500"}) {
            for (const QString& url : registry->serversFor(*RdapQuery::fromText(QLatin1String(query)))) {
                if (!url.endsWith(QLatin1Char('/')) || !url.startsWith(QLatin1String("http")))
                    __builtin_trap();
            }
        }
    }
    return 0;
}
