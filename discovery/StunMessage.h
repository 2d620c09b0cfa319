#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

/// A STUN message (RFC 8489) as far as a Binding transaction needs it: the header, the mapped addresses
/// and an error code. Building makes Binding requests; parsing checks every length against the datagram.
class StunMessage
{
public:
    static constexpr quint32 MagicCookie = 0x2112A442;
    static constexpr quint16 BindingRequest = 0x0001;
    static constexpr quint16 BindingSuccess = 0x0101;
    static constexpr quint16 BindingError = 0x0111;
    static constexpr quint16 AttrMappedAddress = 0x0001;
    static constexpr quint16 AttrErrorCode = 0x0009;
    static constexpr quint16 AttrXorMappedAddress = 0x0020;
    using TransactionId = std::array<quint8, 12>;

    /// A Binding request without attributes.
    static QByteArray bindingRequest(const TransactionId& id);

    /// Reads @p datagram. False and @p error when it is not a well-formed STUN message.
    [[nodiscard]] bool parse(const QByteArray& datagram, QString* error);

    /// The public address in a Binding success response to transaction @p id: XOR-MAPPED-ADDRESS, or
    /// MAPPED-ADDRESS from servers that predate it. Nothing and @p error (why) otherwise.
    std::optional<QHostAddress> mappedAddressFor(const TransactionId& id, QString* error) const;

    quint16 type() const { return m_type; }
    const TransactionId& transactionId() const { return m_id; }

private:
    [[nodiscard]] bool readAddress(const uchar* value, int length, bool xored, QHostAddress* out, QString* error);

    quint16 m_type = 0;
    TransactionId m_id{};
    std::optional<QHostAddress> m_xorMapped;
    std::optional<QHostAddress> m_mapped;
    int m_errorCode = 0;
    QString m_errorReason;
};
