// DNS replies: whatever a server sends, the reading ends with an address of the asked family or a reason.
#include "discovery/DnsAnswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the question: type A, AAAA or TXT, class IN or CH, for myip.test.
    static const int types[] = {DnsQuestion::A, DnsQuestion::AAAA, DnsQuestion::TXT, DnsQuestion::TXT};
    const DnsQuestion question{"myip.test", types[data[0] & 3], data[0] & 4 ? DnsQuestion::CH : DnsQuestion::IN};
    const QByteArray reply(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QString reason;
    const std::optional<QHostAddress> address = addressFromDnsReply(reply, question, &reason);
    if (address ? address->isNull() : reason.isEmpty())
        __builtin_trap();
    if (address && question.type == DnsQuestion::A && address->protocol() != QAbstractSocket::IPv4Protocol)
        __builtin_trap();
    if (address && question.type == DnsQuestion::AAAA && address->protocol() != QAbstractSocket::IPv6Protocol)
        __builtin_trap();
    return 0;
}
