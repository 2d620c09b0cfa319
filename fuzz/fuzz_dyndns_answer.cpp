// Web notification answers: any bytes are read as an update answer and cut to one display line without
// reading out of bounds; the line is never longer than asked, never holds a line break or a control character,
// and only the known words are taken for an answer.
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
    const qsizetype limit = size ? data[0] % 250 + 1 : 200;
    const QString line = bodyDisplayLine(body, limit);
    if (line.size() > limit)
        __builtin_trap();
    for (const QChar c : line) {
        if (c == u'\n' || c == u'\r' || c.category() == QChar::Other_Control)
            __builtin_trap();
    }
    return 0;
}
