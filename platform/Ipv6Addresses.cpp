#include "platform/Ipv6Addresses.h"

#include <QRegularExpression>

#include <utility>

namespace {

Q_IPV6ADDR bytesOf(const QHostAddress& address)
{
    return address.toIPv6Address();
}

} // namespace

std::optional<InterfaceIPv6> LocalIPv6::stable() const
{
    std::optional<InterfaceIPv6> best;
    const auto rank = [](const InterfaceIPv6& a) {
        return std::pair{a.kind == InterfaceIPv6::Kind::Stable, a.preferredSeconds};
    };
    for (const InterfaceIPv6& candidate : addresses) {
        if (!Ipv6Addressing::isGlobal(candidate.address) || candidate.kind == InterfaceIPv6::Kind::Temporary ||
            candidate.kind == InterfaceIPv6::Kind::Tentative)
            continue;
        if (!best || rank(candidate) > rank(*best))
            best = candidate;
    }
    return best;
}

std::optional<InterfaceIPv6::Kind> LocalIPv6::kindOf(const QHostAddress& address) const
{
    for (const InterfaceIPv6& own : addresses) {
        if (own.address.isEqual(address))
            return own.kind;
    }
    return std::nullopt;
}

namespace Ipv6Addressing {

bool isGlobal(const QHostAddress& address)
{
    return address.protocol() == QAbstractSocket::IPv6Protocol && (bytesOf(address)[0] & 0xe0) == 0x20;
}

InterfaceIPv6::Kind kindFromAdapter(const AdapterAddressFields& fields)
{
    using F = AdapterAddressFields;
    if (fields.dadState == F::DadTentative || fields.dadState == F::DadDuplicate || fields.dadState == F::DadInvalid)
        return InterfaceIPv6::Kind::Tentative;
    if (fields.dadState == F::DadDeprecated || fields.preferredSeconds == 0)
        return InterfaceIPv6::Kind::Deprecated;
    if (fields.suffixOrigin == F::SuffixRandom && fields.prefixOrigin == F::PrefixRouterAdvertisement)
        return InterfaceIPv6::Kind::Temporary;
    return InterfaceIPv6::Kind::Stable;
}

QString prefixText(const QHostAddress& address, int length)
{
    if (address.protocol() != QAbstractSocket::IPv6Protocol || length < 0 || length > 128)
        return QString();
    Q_IPV6ADDR bytes = bytesOf(address);
    for (int bit = length; bit < 128; ++bit)
        bytes[bit / 8] &= quint8(~(0x80 >> (bit % 8)));
    return QHostAddress(bytes).toString() + u'/' + QString::number(length);
}

std::optional<std::uint64_t> interfaceIdentifier(const QString& text)
{
    const QString trimmed = text.trimmed();
    static const QRegularExpression mac(QStringLiteral("^([0-9a-fA-F]{2})([:-][0-9a-fA-F]{2}){5}$"));
    if (mac.match(trimmed).hasMatch()) {
        std::uint8_t octets[6];
        for (int i = 0; i < 6; ++i)
            octets[i] = std::uint8_t(trimmed.mid(i * 3, 2).toUInt(nullptr, 16));
        // RFC 4291 appendix A: FFFE between the two halves, the universal/local bit inverted.
        const std::uint8_t eui[8] = {
            std::uint8_t(octets[0] ^ 0x02), octets[1], octets[2], 0xff, 0xfe, octets[3], octets[4], octets[5]};
        std::uint64_t value = 0;
        for (const std::uint8_t octet : eui)
            value = value << 8 | octet;
        return value;
    }
    if (!trimmed.startsWith(u':') && !trimmed.contains(QLatin1String("::")))
        return std::nullopt;
    const QHostAddress address(trimmed);
    if (address.protocol() != QAbstractSocket::IPv6Protocol || !address.scopeId().isEmpty())
        return std::nullopt;
    const Q_IPV6ADDR bytes = bytesOf(address);
    // Only the identifier: bits in the first half would say a prefix of their own.
    for (int i = 0; i < 8; ++i) {
        if (bytes[i] != 0)
            return std::nullopt;
    }
    std::uint64_t value = 0;
    for (int i = 8; i < 16; ++i)
        value = value << 8 | bytes[i];
    return value == 0 ? std::nullopt : std::optional(value);
}

QHostAddress withInterfaceIdentifier(const QString& prefix, const QString& identifier)
{
    const std::optional<std::uint64_t> iid = interfaceIdentifier(identifier);
    const qsizetype slash = prefix.indexOf(u'/');
    bool lengthOk = false;
    const int length = slash > 0 ? prefix.mid(slash + 1).toInt(&lengthOk) : -1;
    const QHostAddress network(prefix.left(slash));
    if (!iid || !lengthOk || length < 0 || length > 64 || network.protocol() != QAbstractSocket::IPv6Protocol)
        return {};
    Q_IPV6ADDR bytes = bytesOf(network);
    for (int i = 0; i < 8; ++i)
        bytes[15 - i] = quint8(*iid >> (8 * i));
    return QHostAddress(bytes);
}

} // namespace Ipv6Addressing
