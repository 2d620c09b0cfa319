// A request head as a scraper (or anyone on the network) sends it: never a crash, never more than its bound read, a
// whole head always has a method and a path that begins with "/".
#include "metrics/RequestHead.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const RequestHead head = RequestHead::read(bytes);
    if (head.state == RequestHead::State::Complete &&
        (head.method.isEmpty() || !head.path.startsWith('/') || head.path.contains('?') || head.path.contains(' ')))
        std::abort();
    if (head.state == RequestHead::State::Incomplete && size > size_t(RequestHead::MaxBytes))
        std::abort();
    return 0;
}
