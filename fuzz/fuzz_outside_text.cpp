// Outside text in each of its forms: whatever the bytes, the result holds no control, bidi or other hidden
// character (only LF and tab, and only in a block), no lone surrogate, and is never longer than asked.
#include "platform/OutsideText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the form and the bound; the rest is the text, as bytes and as UTF-16.
    const auto form = static_cast<OutsideText::Form>(data[0] % 3);
    const qsizetype limit = data[0] / 3 + 1;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString units(reinterpret_cast<const QChar*>(bytes.data()), bytes.size() / 2);
    for (const QString& text :
         {OutsideText::clean(QString::fromUtf8(bytes), form, limit), OutsideText::clean(units, form, limit)}) {
        if (text.size() > limit)
            __builtin_trap();
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t c = text[i].unicode();
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i], text[i + 1]);
                ++i;
            } else if (text[i].isSurrogate()) {
                __builtin_trap();
            }
            const bool kept = form == OutsideText::Form::Block && (c == u'\n' || c == u'\t');
            if (!kept && (c < 0x20 || OutsideText::isHidden(c) || c == 0x85 || c == 0x2028 || c == 0x2029))
                __builtin_trap();
        }
    }
    return 0;
}
