// URLs and notification texts from the settings file: masking, the escaped user information, the server of a
// source and the placeholders read any text without reading out of bounds. A masked URL never holds the password
// of the user information, and every "@" of the user information but the last comes out escaped.
#include "discovery/SourceUri.h"
#include "notify/Placeholders.h"
#include "platform/DisplayedUrl.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString url = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString shown = displayedUrl(url);
    const UrlTextParts parts = UrlTextParts::of(url);
    const qsizetype colon = parts.at < 0 ? -1 : url.indexOf(u':', parts.authorityBegin);
    if (colon >= 0 && colon + 1 < parts.at && !shown.contains(QLatin1String(":***@")))
        __builtin_trap();
    const QString escaped = withEscapedUserInfo(url);
    const UrlTextParts after = UrlTextParts::of(escaped);
    if (parts.at >= 0 && escaped.mid(after.authorityBegin, after.at - after.authorityBegin).contains(u'@'))
        __builtin_trap();
    (void)sourceServer(url);
    const QString filled = substitutePlaceholders(url, urlPlaceholders(), QStringLiteral("192.0.2.1"),
                                                  QStringLiteral("203.0.113.7"), QStringLiteral("2001:db8::7"));
    if (filled.size() > url.size() * 3 + 1)
        __builtin_trap();
    return 0;
}
