#include "router/PcpMessage.h"

#include <QtEndian>

namespace PcpMessage {

namespace {

constexpr qsizetype HeaderBytes = 24;
constexpr qsizetype MapBytes = 36;
constexpr qsizetype NatPmpMinBytes = 4;
constexpr quint8 ResponseBit = 0x80;
constexpr quint8 Map = 1;

void putAddress(uchar* at, const QHostAddress& address)
{
    const Q_IPV6ADDR bytes = address.protocol() == QAbstractSocket::IPv4Protocol
                                 ? QHostAddress(address.toIPv4Address()).toIPv6Address() // ::ffff:a.b.c.d
                                 : address.toIPv6Address();
    std::copy(std::begin(bytes.c), std::end(bytes.c), at);
}

QHostAddress readAddress(const uchar* at)
{
    Q_IPV6ADDR bytes;
    std::copy(at, at + 16, std::begin(bytes.c));
    const QHostAddress address(bytes);
    bool isIPv4 = false;
    const quint32 v4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(v4) : address;
}

} // namespace

QByteArray mapRequest(const MapRequest& request)
{
    QByteArray datagram(HeaderBytes + MapBytes, '\0');
    auto* at = reinterpret_cast<uchar*>(datagram.data());
    at[0] = Version;
    at[1] = Map;
    qToBigEndian(request.lifetime, at + 4);
    putAddress(at + 8, request.client);
    uchar* map = at + HeaderBytes;
    std::copy(request.nonce.begin(), request.nonce.end(), map);
    map[12] = request.protocol;
    qToBigEndian(request.internalPort, map + 16);
    // Suggested external port and address: zero, none suggested (the address :: rather than ::ffff:0.0.0.0 would ask
    // for an IPv6 one).
    putAddress(map + 20, QHostAddress(QHostAddress::AnyIPv4));
    return datagram;
}

std::optional<Reply> parseReply(const QByteArray& datagram, QString* error)
{
    const auto* at = reinterpret_cast<const uchar*>(datagram.constData());
    const qsizetype size = datagram.size();
    Reply reply;
    if (size >= 1)
        reply.version = at[0];
    if (reply.version == 0) {
        if (size < NatPmpMinBytes) {
            *error = QStringLiteral("a NAT-PMP answer of %1 bytes").arg(size);
            return std::nullopt;
        }
        reply.opcode = at[1];
        reply.result = qFromBigEndian<quint16>(at + 2);
        return reply;
    }
    if (size < HeaderBytes || size > MaxBytes || size % 4 != 0) {
        *error = QStringLiteral("an answer of %1 bytes").arg(size);
        return std::nullopt;
    }
    reply.opcode = at[1];
    if (!(reply.opcode & ResponseBit)) {
        *error = QStringLiteral("a request, not an answer");
        return std::nullopt;
    }
    reply.result = at[3];
    reply.lifetime = qFromBigEndian<quint32>(at + 4);
    reply.epoch = qFromBigEndian<quint32>(at + 8);
    qsizetype options = HeaderBytes;
    if (reply.opcode == (ResponseBit | Map)) {
        if (size < HeaderBytes + MapBytes) {
            *error = QStringLiteral("a MAP answer of %1 bytes").arg(size);
            return std::nullopt;
        }
        const uchar* map = at + HeaderBytes;
        std::copy(map, map + 12, reply.nonce.begin());
        reply.protocol = map[12];
        reply.internalPort = qFromBigEndian<quint16>(map + 16);
        reply.externalPort = qFromBigEndian<quint16>(map + 18);
        reply.external = readAddress(map + 20);
        options += MapBytes;
    }
    // Options: code, reserved, a length, and the data padded to four bytes; none is needed, each must fit.
    while (options < size) {
        if (size - options < 4) {
            *error = QStringLiteral("an option header cut short");
            return std::nullopt;
        }
        const qsizetype length = (qsizetype(qFromBigEndian<quint16>(at + options + 2)) + 3) / 4 * 4;
        if (length > size - options - 4) {
            *error = QStringLiteral("an option of %1 bytes past the answer's end").arg(length);
            return std::nullopt;
        }
        options += 4 + length;
    }
    return reply;
}

Verdict judge(const MapRequest& request, const Reply& reply)
{
    const QString method = QStringLiteral("PCP");
    // A NAT-PMP server answers any other version with UNSUPP_VERSION (RFC 6886 section 3.5): it is asked in its
    // own version. So is a PCP server of another version, which this program does not speak.
    if (reply.version != Version)
        return {Verdict::Next::AskNatPmp, {}};
    if (reply.opcode != (ResponseBit | Map) || reply.nonce != request.nonce || reply.protocol != request.protocol ||
        reply.internalPort != request.internalPort)
        return {};
    switch (reply.result) {
    case Success:
        if (reply.external.protocol() != QAbstractSocket::IPv4Protocol)
            return {Verdict::Next::Done, {}}; // an IPv6 address: no IPv4 WAN address to compare
        if (reply.external.toIPv4Address() == 0)
            return {Verdict::Next::Done, {RouterAnswer::Kind::Withheld, {}, method}};
        return {Verdict::Next::Done, {RouterAnswer::Kind::Address, reply.external, method}};
    case NetworkFailure: // no external address yet
        return {Verdict::Next::Done, {RouterAnswer::Kind::Withheld, {}, method}};
    default:
        // Not authorized, no resources, the protocol unsupported...: no word on the address, which NAT-PMP's
        // request asks without a mapping.
        return {Verdict::Next::AskNatPmp, {}};
    }
}

bool epochContinues(quint32 previous, quint32 epoch, qint64 elapsedSeconds)
{
    const qint64 server = qint64(epoch) - qint64(previous);
    if (server < -1)
        return false;
    const qint64 client = elapsedSeconds;
    return client + 2 >= server - server / 16 && server + 2 >= client - client / 16;
}

} // namespace PcpMessage
