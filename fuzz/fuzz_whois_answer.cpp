// WHOIS answers: whatever bytes a server sends, in whatever pieces, the shown text is bounded and holds
// no carriage return or control character but tab and line feed.
#include "nettools/WhoisAnswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the piece size and a small limit, so cuts land everywhere.
    const qsizetype piece = (data[0] & 0x1F) + 1;
    const qsizetype limit = data[0] & 0x80 ? qsizetype(size / 2) : WhoisAnswer::DefaultLimit;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    WhoisAnswer answer(limit);
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        answer.append(bytes.mid(at, piece));
    if (answer.bytes().size() > limit || answer.bytes() != bytes.left(limit))
        __builtin_trap();
    if (answer.isCut() != (bytes.size() > limit))
        __builtin_trap();
    const QString text = answer.text();
    const QString body = answer.isCut() ? text.chopped(WhoisAnswer::cutNote(limit).size()) : text;
    for (const QChar c : body) {
        if (c == QLatin1Char('\r') || (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t')))
            __builtin_trap();
    }
    if (body.size() > answer.bytes().size())
        __builtin_trap();
    return 0;
}
