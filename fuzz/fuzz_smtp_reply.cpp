// Mail server replies: any bytes in any pieces are framed without reading out of bounds, the
// buffer never grows past its limit, and a complete reply always ends a line or fills the buffer;
// every complete reply is also read as an EHLO reply's offers.
#include "notify/SmtpCapabilities.h"
#include "notify/SmtpReplyReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SmtpReplyReader reader;
    size_t at = 0;
    while (at < size) {
        // The first byte of each piece says how long the piece is.
        const size_t length = std::min<size_t>(data[at] % 64 + 1, size - at);
        const size_t begin = at + 1;
        const size_t end = std::min(size, begin + length);
        reader.append(QByteArrayView(reinterpret_cast<const char*>(data + begin), qsizetype(end - begin)));
        if (reader.buffer().size() > SmtpReplyReader::MaxReplyBytes)
            __builtin_trap();
        if (reader.isComplete()) {
            const QByteArray reply = reader.take();
            if (!reply.endsWith("\r\n") && reply.size() < SmtpReplyReader::MaxReplyBytes)
                __builtin_trap();
            const SmtpCapabilities caps = SmtpCapabilities::parse(reply);
            if ((caps.authPlain || caps.authLogin) && !caps.authOffered)
                __builtin_trap();
            const int code = SmtpReplyReader::replyCode(reply);
            if (code < 0 || code > 999999999)
                __builtin_trap();
        }
        at = end;
    }
    return 0;
}
