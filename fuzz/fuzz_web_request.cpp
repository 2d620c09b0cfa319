// A stored web request (a hand-edited settings value) and a service's answer read by every preset: never a crash;
// an entry read back is stored again as the same entry, and a filled request never holds a line break in a header.
#include "notify/WebPresets.h"
#include "notify/WebRequest.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    if (const std::optional<WebRequest> request = WebRequest::fromStored(QString::fromUtf8(bytes), &error)) {
        const std::optional<WebRequest> again = WebRequest::fromStored(request->toStored(), &error);
        if (!again || again->toStored() != request->toStored())
            std::abort();
        const WebValues values{"a", "b", "c", "d", "e", "f", "g", QStringLiteral("s\r\nX: y")};
        if (const std::optional<FilledRequest> filled = fillWebRequest(*request, values, &error)) {
            for (const auto& header : filled->headers) {
                if (header.second.contains('\n') || header.second.contains('\r'))
                    std::abort();
            }
        }
    }
    for (const WebPreset& preset : webPresets())
        (void)readWebAnswer(&preset.answer, int(size % 600), QStringLiteral("HTTP"), bytes);
    (void)readWebAnswer(nullptr, 200, QStringLiteral("HTTP 200"), bytes);
    return 0;
}
