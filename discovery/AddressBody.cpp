#include "discovery/AddressBody.h"

#include <QHostAddress>
#include <QStringList>

bool isDottedQuad(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

namespace {

bool isIpv6(const QString& text)
{
    if (!text.contains(QLatin1Char(':')) || text.size() > 45)
        return false;
    for (const QChar c : text) {
        if (!(c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
              (c >= QLatin1Char('A') && c <= QLatin1Char('F')) || c == QLatin1Char(':') || c == QLatin1Char('.')))
            return false;
    }
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv6Protocol;
}

} // namespace

bool isIpAddressText(const QString& text)
{
    return isDottedQuad(text) || isIpv6(text);
}

QHostAddress hostAddressFromText(const QString& text)
{
    if (isDottedQuad(text)) {
        quint32 value = 0;
        for (const QString& part : text.split(QLatin1Char('.')))
            value = (value << 8) | part.toUInt();
        return QHostAddress(value);
    }
    return isIpv6(text) ? QHostAddress(text) : QHostAddress();
}

std::optional<QString> externalAddressFromBody(const QByteArray& body)
{
    // Anything longer than an IPv6 address with white space around it is not an address.
    if (body.size() > 256)
        return std::nullopt;
    if (body.toLower().contains("error"))
        return std::nullopt;
    const QString text = QString::fromUtf8(body).trimmed();
    if (!isIpAddressText(text))
        return std::nullopt;
    return text;
}
