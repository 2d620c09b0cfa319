#include "discovery/StunMessage.h"

#include "platform/OutsideText.h"
#include <QtEndian>

#include <cstring>

namespace {

constexpr int HeaderSize = 20;

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

quint16 word(const uchar* p)
{
    return qFromBigEndian<quint16>(p);
}

} // namespace

QByteArray StunMessage::bindingRequest(const TransactionId& id)
{
    QByteArray message(HeaderSize, '\0');
    auto* p = reinterpret_cast<uchar*>(message.data());
    qToBigEndian<quint16>(BindingRequest, p);
    qToBigEndian<quint16>(0, p + 2);
    qToBigEndian<quint32>(MagicCookie, p + 4);
    std::memcpy(p + 8, id.data(), id.size());
    return message;
}

bool StunMessage::parse(const QByteArray& datagram, QString* error)
{
    *this = StunMessage();
    if (datagram.size() < HeaderSize)
        return fail(error, QStringLiteral("shorter than a STUN header (%1 bytes)").arg(datagram.size()));
    const auto* p = reinterpret_cast<const uchar*>(datagram.constData());
    m_type = word(p);
    if (m_type & 0xc000)
        return fail(error, QStringLiteral("not a STUN message (first bits set)"));
    const int length = word(p + 2);
    if (length % 4 != 0 || HeaderSize + length != datagram.size())
        return fail(
            error,
            QStringLiteral("message length %1 does not match the %2 bytes received").arg(length).arg(datagram.size()));
    if (qFromBigEndian<quint32>(p + 4) != MagicCookie)
        return fail(error, QStringLiteral("wrong magic cookie"));
    std::memcpy(m_id.data(), p + 8, m_id.size());

    const uchar* end = p + HeaderSize + length;
    for (const uchar* at = p + HeaderSize; at < end;) {
        if (end - at < 4)
            return fail(error, QStringLiteral("attribute header cut off"));
        const quint16 type = word(at);
        const int valueLength = word(at + 2);
        const uchar* value = at + 4;
        const int padded = (valueLength + 3) & ~3;
        if (padded > end - value)
            return fail(error, QStringLiteral("attribute 0x%1 of %2 bytes runs past the end of the message")
                                   .arg(type, 4, 16, QLatin1Char('0'))
                                   .arg(valueLength));
        if (type == AttrXorMappedAddress || type == AttrMappedAddress) {
            const bool xored = type == AttrXorMappedAddress;
            std::optional<QHostAddress>& slot = xored ? m_xorMapped : m_mapped;
            QHostAddress address;
            if (!readAddress(value, valueLength, xored, &address, error))
                return false;
            if (!slot)
                slot = address;
        } else if (type == AttrErrorCode && m_errorCode == 0) {
            if (valueLength < 4)
                return fail(error, QStringLiteral("ERROR-CODE attribute too short"));
            m_errorCode = (value[2] & 0x07) * 100 + value[3];
            m_errorReason = OutsideText::line(QByteArrayView(value + 4, valueLength - 4), 128);
        }
        at = value + padded;
    }
    return true;
}

bool StunMessage::readAddress(const uchar* value, int length, bool xored, QHostAddress* out, QString* error)
{
    const char* name = xored ? "XOR-MAPPED-ADDRESS" : "MAPPED-ADDRESS";
    if (length < 4)
        return fail(error, QStringLiteral("%1 attribute too short").arg(QLatin1String(name)));
    const quint8 family = value[1];
    if (family == 0x01) {
        if (length != 8)
            return fail(error, QStringLiteral("%1 of family IPv4 has length %2").arg(QLatin1String(name)).arg(length));
        quint32 ip = qFromBigEndian<quint32>(value + 4);
        if (xored)
            ip ^= MagicCookie;
        *out = QHostAddress(ip);
        return true;
    }
    if (family == 0x02) {
        if (length != 20)
            return fail(error, QStringLiteral("%1 of family IPv6 has length %2").arg(QLatin1String(name)).arg(length));
        quint8 ip[16];
        std::memcpy(ip, value + 4, 16);
        if (xored) {
            // XOR with the magic cookie followed by the transaction ID.
            quint8 mask[16];
            qToBigEndian<quint32>(MagicCookie, mask);
            std::memcpy(mask + 4, m_id.data(), m_id.size());
            for (int i = 0; i < 16; ++i)
                ip[i] ^= mask[i];
        }
        *out = QHostAddress(ip);
        return true;
    }
    return fail(error, QStringLiteral("%1 has address family 0x%2, neither IPv4 nor IPv6")
                           .arg(QLatin1String(name))
                           .arg(family, 2, 16, QLatin1Char('0')));
}

std::optional<QHostAddress> StunMessage::mappedAddressFor(const TransactionId& id, QString* error) const
{
    if (m_id != id) {
        fail(error, QStringLiteral("wrong transaction ID"));
        return std::nullopt;
    }
    if (m_type == BindingError) {
        fail(error, QStringLiteral("error response %1 %2").arg(m_errorCode).arg(m_errorReason));
        return std::nullopt;
    }
    if (m_type != BindingSuccess) {
        fail(error, QStringLiteral("not a Binding success response (type 0x%1)").arg(m_type, 4, 16, QLatin1Char('0')));
        return std::nullopt;
    }
    if (m_xorMapped)
        return m_xorMapped;
    if (m_mapped)
        return m_mapped;
    fail(error, QStringLiteral("no address attribute in the response"));
    return std::nullopt;
}
