// STUN datagrams: whatever a server sends, the reading ends with an address or a reason, never a read past
// the datagram.
#include "discovery/StunMessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    StunMessage message;
    QString reason;
    if (!message.parse(datagram, &reason)) {
        if (reason.isEmpty())
            __builtin_trap();
        return 0;
    }
    // The transaction the reply names, and one it does not (unless it happens to).
    const StunMessage::TransactionId ours{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (const StunMessage::TransactionId& id : {message.transactionId(), ours}) {
        reason.clear();
        const std::optional<QHostAddress> address = message.mappedAddressFor(id, &reason);
        if (address ? address->isNull() : reason.isEmpty())
            __builtin_trap();
        if (address && id != message.transactionId())
            __builtin_trap();
    }
    return 0;
}
