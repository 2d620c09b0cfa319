#include "platform/AddressText.h"

namespace AddressText {

namespace {

std::optional<quint32> dottedQuad(QStringView text, LeadingZeros zeros)
{
    quint32 value = 0;
    int parts = 0;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'.', start);
        if (end < 0)
            end = text.size();
        const QStringView part = text.mid(start, end - start);
        if (++parts > 4 || part.isEmpty() || part.size() > 3)
            return std::nullopt;
        if (zeros == LeadingZeros::Refused && part.size() > 1 && part.front() == u'0')
            return std::nullopt;
        uint number = 0;
        for (const QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            number = number * 10 + (c.unicode() - u'0');
        }
        if (number > 255)
            return std::nullopt;
        value = (value << 8) | number;
        start = end + 1;
    }
    return parts == 4 ? std::optional<quint32>(value) : std::nullopt;
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

std::optional<QHostAddress> ipv6(QStringView text)
{
    // The longest form: eight groups of four, or six and a dotted quad (45 characters).
    if (text.size() > 45 || !text.contains(u':'))
        return std::nullopt;
    const qsizetype lastColon = text.lastIndexOf(u':');
    for (qsizetype i = 0; i < lastColon; ++i) {
        if (!isHexDigit(text[i]) && text[i] != u':')
            return std::nullopt;
    }
    const QStringView last = text.mid(lastColon + 1);
    if (last.contains(u'.')) {
        if (!dottedQuad(last, LeadingZeros::Refused))
            return std::nullopt;
    } else {
        for (const QChar c : last) {
            if (!isHexDigit(c))
                return std::nullopt;
        }
    }
    QHostAddress address;
    if (!address.setAddress(text.toString()) || address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    return address;
}

} // namespace

std::optional<QHostAddress> parse(QStringView text, LeadingZeros zeros)
{
    if (const std::optional<quint32> v4 = dottedQuad(text, zeros))
        return QHostAddress(*v4);
    return ipv6(text);
}

} // namespace AddressText
