// The DNS host's API answers: any bytes are read within bounds; ids that reach a URL path are plain identifiers,
// and the lists stay within their limits.
#include "dnsapi/DnsApiAnswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DnsApiAnswer answer =
        DnsApiAnswer::read(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!answer.json && (answer.success || !answer.errors.isEmpty() || !answer.result.isEmpty()))
        __builtin_trap();
    if (answer.errors.size() > DnsApiAnswer::MaxEntries || answer.result.size() > DnsApiAnswer::MaxEntries)
        __builtin_trap();
    for (const DnsApiAnswer::Entry& entry : answer.result) {
        if (entry.id.size() > DnsApiAnswer::MaxIdChars || entry.id.contains(u'/') || entry.id.contains(u'?') ||
            entry.id.contains(u'%') || entry.id.contains(u'.'))
            __builtin_trap();
    }
    (void)answer.errorText();
    return 0;
}
