#pragma once

#include "router/RouterAnswer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <array>
#include <optional>

/// The datagrams of the Port Control Protocol (RFC 6887) that ask a gateway for a mapping, and so for its external
/// address: MAP requests built, answers read with every length checked against the datagram.
namespace PcpMessage {

constexpr quint16 ServerPort = 5351; // shared with NAT-PMP, which is version 0 on the same port
constexpr quint8 Version = 2;
constexpr qsizetype MaxBytes = 1100;
constexpr quint8 Udp = 17;
using Nonce = std::array<quint8, 12>;

enum Result : quint8
{
    Success = 0,
    UnsupportedVersion = 1,
    NetworkFailure = 7,
};

/// A MAP request for @p protocol's @p internalPort of @p client, for @p lifetime seconds (0 deletes the mapping),
/// with no suggested external address or port.
struct MapRequest
{
    Nonce nonce{};
    QHostAddress client;
    quint16 internalPort = 0;
    quint32 lifetime = 0;
    quint8 protocol = Udp;
};
QByteArray mapRequest(const MapRequest& request);

/// An answer on the PCP port: a version-0 one comes from a server that speaks NAT-PMP only.
struct Reply
{
    quint8 version = 0;
    quint8 opcode = 0;  ///< with the response bit
    quint16 result = 0; ///< NAT-PMP's result is 16 bits wide, PCP's 8
    quint32 lifetime = 0;
    quint32 epoch = 0;
    // MAP answers only:
    Nonce nonce{};
    quint8 protocol = 0;
    quint16 internalPort = 0;
    quint16 externalPort = 0;
    QHostAddress external;
};
/// Reads @p datagram; nothing and @p error when it is no well-formed answer (short, too long, not a response, a
/// MAP answer cut short, an option running past the end).
std::optional<Reply> parseReply(const QByteArray& datagram, QString* error);

/// What @p reply says in answer to @p request.
struct Verdict
{
    enum class Next
    {
        Ignore,    ///< not an answer to this request (another nonce, port or opcode): wait on
        Done,      ///< answer holds what the router said
        AskNatPmp, ///< the router speaks no PCP, or could not map: ask by NAT-PMP, which needs no mapping
    };
    Next next = Next::Ignore;
    RouterAnswer answer;
};
Verdict judge(const MapRequest& request, const Reply& reply);

/// Whether the server's epoch @p epoch, @p elapsedSeconds after it said @p previous, shows that it kept its state
/// (RFC 6887 section 8.5): false when it restarted or lost its mappings meanwhile.
bool epochContinues(quint32 previous, quint32 epoch, qint64 elapsedSeconds);

} // namespace PcpMessage
