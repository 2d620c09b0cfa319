// The help file reader: any bytes must give a document, with every run's text well formed.
#include "rtf/RtfReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const RtfDocument doc = RtfReader::read(bytes);
    if (doc.paragraphs.isEmpty() || doc.problems.size() > 20)
        __builtin_trap();
    for (const RtfParagraph& paragraph : doc.paragraphs) {
        for (const RtfRun& run : paragraph.runs) {
            if (run.text.isEmpty() || run.halfPoints < 2 || run.halfPoints > 400)
                __builtin_trap();
            // No surrogate half is left on its own.
            for (qsizetype i = 0; i < run.text.size(); ++i) {
                const QChar c = run.text[i];
                if (c.isHighSurrogate() && (i + 1 >= run.text.size() || !run.text[i + 1].isLowSurrogate()))
                    __builtin_trap();
                if (c.isLowSurrogate() && (i == 0 || !run.text[i - 1].isHighSurrogate()))
                    __builtin_trap();
            }
        }
    }
    return 0;
}
