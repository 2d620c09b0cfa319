#include "router/NatPmpMessage.h"

#include <QNetworkDatagram>
#include <QtEndian>

namespace NatPmpMessage {

namespace {

constexpr quint8 ExternalAddress = 0;
constexpr quint8 ResponseBit = 0x80;
// Version, opcode, result and epoch: what every answer carries, a refusal too (RFC 6886 section 3.5).
constexpr qsizetype HeaderBytes = 8;

} // namespace

QString resultText(quint16 result)
{
    switch (result) {
    case Success:
        return QStringLiteral("success");
    case UnsupportedVersion:
        return QStringLiteral("unsupported version");
    case NotAuthorized:
        return QStringLiteral("not authorized or refused");
    case NetworkFailure:
        return QStringLiteral("network failure (no external address yet)");
    case OutOfResources:
        return QStringLiteral("out of resources");
    case UnsupportedOpcode:
        return QStringLiteral("unsupported opcode");
    }
    return QStringLiteral("unknown result");
}

QByteArray addressRequest()
{
    QByteArray request(2, '\0');
    request[0] = char(Version);
    request[1] = char(ExternalAddress);
    return request;
}

std::optional<Answer> parseAnswer(const QByteArray& datagram, QString* error, quint16* result)
{
    const auto* at = reinterpret_cast<const uchar*>(datagram.constData());
    const qsizetype size = datagram.size();
    if (size < HeaderBytes || size > AnswerBytes) {
        *error = QStringLiteral("a NAT-PMP answer of %1 bytes").arg(size);
        return std::nullopt;
    }
    if (at[0] != Version || at[1] != (ResponseBit | ExternalAddress)) {
        *error = QStringLiteral("a NAT-PMP answer of version %1, opcode %2").arg(at[0]).arg(at[1]);
        return std::nullopt;
    }
    const quint16 code = qFromBigEndian<quint16>(at + 2);
    if (result)
        *result = code;
    if (code != Success) {
        // The address of a refusal is undefined, and may be missing.
        *error = QStringLiteral("NAT-PMP result %1, %2").arg(code).arg(resultText(code));
        return std::nullopt;
    }
    if (size < AnswerBytes) {
        *error = QStringLiteral("a NAT-PMP answer of %1 bytes").arg(size);
        return std::nullopt;
    }
    return Answer{qFromBigEndian<quint32>(at + 4), QHostAddress(qFromBigEndian<quint32>(at + 8))};
}

bool fromGateway(const QNetworkDatagram& datagram, const QHostAddress& gateway)
{
    return datagram.senderAddress().isEqual(gateway, QHostAddress::ConvertV4MappedToIPv4) &&
           datagram.senderPort() == ServerPort;
}

} // namespace NatPmpMessage
