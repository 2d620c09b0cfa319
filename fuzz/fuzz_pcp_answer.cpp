// Answers on the PCP port: whatever a gateway sends, the reading ends with an answer or a reason, never a read past
// the datagram, and only an answer to the request in hand (its nonce, protocol and port) tells an address.
#include "router/PcpMessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const std::optional<PcpMessage::Reply> reply = PcpMessage::parseReply(datagram, &error);
    if (!reply) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    // The request the reply names, and one it does not (unless it happens to).
    PcpMessage::MapRequest named{reply->nonce, {}, reply->internalPort, 60, reply->protocol};
    PcpMessage::MapRequest other{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}, 9, 60, PcpMessage::Udp};
    for (const PcpMessage::MapRequest& request : {named, other}) {
        const PcpMessage::Verdict verdict = PcpMessage::judge(request, *reply);
        const bool address = verdict.answer.kind == RouterAnswer::Kind::Address;
        if (address && (verdict.answer.address.isNull() || verdict.next != PcpMessage::Verdict::Next::Done))
            __builtin_trap();
        if (address && reply->nonce != request.nonce)
            __builtin_trap();
    }
    return 0;
}
