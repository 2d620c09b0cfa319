/* An empty ICU data library for the image. Qt Core links ICU, but the watcher uses none of ICU's data (its
 * conversions are UTF-8, its time zones come from the zoneinfo files), and the real data library is 30 MB.
 * ICU reads this header, finds no entries and reports any lookup of its data as missing.
 * Built with -DICU_DATA_SYMBOL=icudt<version>_dat for the ICU that Qt Core was linked against. */
#include <stdint.h>

struct IcuDataHeader
{
    uint16_t headerSize;
    uint8_t magic1, magic2;
    struct
    {
        uint16_t size, reservedWord;
        uint8_t isBigEndian, charsetFamily, sizeofUChar, reservedByte;
        uint8_t dataFormat[4], formatVersion[4], dataVersion[4];
    } info;
    char padding[8];
    uint32_t count, reserved;
    uint32_t tableOfContents[4];
};

__attribute__((visibility("default"))) const struct IcuDataHeader ICU_DATA_SYMBOL = {
    32, 0xda, 0x27, {20, 0, 0, 0, 2, 0, {'C', 'm', 'n', 'D'}, {1, 0, 0, 0}, {0, 0, 0, 0}}, {0}, 0, 0, {0}};
