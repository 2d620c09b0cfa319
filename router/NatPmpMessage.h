#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

class QNetworkDatagram;

/// The datagrams of NAT-PMP (RFC 6886) that ask a gateway for its external IPv4 address: the request built, the
/// answer read with its length checked against the datagram.
namespace NatPmpMessage {

constexpr quint16 ServerPort = 5351;
constexpr quint8 Version = 0;
constexpr qsizetype AnswerBytes = 12;

/// The result codes of RFC 6886 section 3.5.
enum Result : quint16
{
    Success = 0,
    UnsupportedVersion = 1,
    NotAuthorized = 2,
    NetworkFailure = 3,
    OutOfResources = 4,
    UnsupportedOpcode = 5,
};
/// What @p result means, as text for the log.
QString resultText(quint16 result);

/// The request for the external address (RFC 6886 section 3.2): version 0, opcode 0, nothing more.
QByteArray addressRequest();

/// What the gateway said in answer to addressRequest().
struct Answer
{
    quint32 epoch = 0; ///< seconds since the gateway's mappings began
    QHostAddress external;
};
/// Reads @p datagram; nothing and @p error when it is no answer with an address: short, too long, another version or
/// opcode, or a refusal (a non-zero result, which then is in @p result, and its meaning in @p error).
std::optional<Answer> parseAnswer(const QByteArray& datagram, QString* error, quint16* result = nullptr);

/// Whether @p datagram comes from the NAT-PMP port of @p gateway, the only source whose answer counts.
bool fromGateway(const QNetworkDatagram& datagram, const QHostAddress& gateway);

} // namespace NatPmpMessage
