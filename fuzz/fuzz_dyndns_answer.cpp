// Web notification answers: any bytes are read as an update answer without reading out of bounds, and only the
// known words are taken for an answer.
#include "notify/DynDnsAnswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView body(reinterpret_cast<const char*>(data), qsizetype(size));
    const DynDnsAnswer answer = DynDnsAnswer::read(body);
    if (answer.kind != DynDnsAnswer::Kind::Plain && (answer.word.isEmpty() || !body.contains(answer.word.toLatin1())))
        __builtin_trap();
    if (answer.kind == DynDnsAnswer::Kind::Error && answer.explanation.isEmpty())
        __builtin_trap();
    return 0;
}
