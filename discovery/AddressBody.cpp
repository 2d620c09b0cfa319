#include "discovery/AddressBody.h"

#include "platform/AddressText.h"

#include <QHostAddress>

// Bodies are read with leading zeros as decimal: some services pad their parts ("093.0.113.9").
bool isDottedQuad(const QString& text)
{
    return !text.contains(QLatin1Char(':')) && AddressText::parse(text, AddressText::LeadingZeros::Decimal);
}

bool isIpAddressText(const QString& text)
{
    return AddressText::parse(text, AddressText::LeadingZeros::Decimal).has_value();
}

QHostAddress hostAddressFromText(const QString& text)
{
    return AddressText::parse(text, AddressText::LeadingZeros::Decimal).value_or(QHostAddress());
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
