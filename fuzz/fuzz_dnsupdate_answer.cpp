// DNS UPDATE answers: whatever a server sends, the reading ends with a verdict and its reason. Nothing here can carry
// a TSIG that verifies (the requests are signed at start with a fresh time, so their MACs are not known to the
// corpus): an answer read or taken as truncated means one was trusted without its signature.
#include "dnsupdate/DnsMessages.h"

#include <cstddef>
#include <cstdint>

namespace {
const TsigKey Key{QStringLiteral("vistrel-key"), QStringLiteral("c2VjcmV0LWtleS1mb3ItdmlzdHJlbC10ZXN0cy0wMDE="),
                  QStringLiteral("hmac-sha256")};

/// The three requests an answer can be read against: the A and the AAAA query and the update, with ID 0x4242.
DnsRequest request(int which)
{
    DnsRequest made;
    QString error;
    if (which < 2) {
        (void)DnsMessages::buildQuery(QStringLiteral("home.example.test"),
                                      which == 0 ? DnsMessages::TypeA : DnsMessages::TypeAaaa, Key, &made, &error);
    } else {
        const UpdatePlan plan{QStringLiteral("example.test"),
                              QStringLiteral("home.example.test"),
                              300,
                              {{DnsMessages::TypeA, {QStringLiteral("198.51.100.1")}}},
                              {{DnsMessages::TypeA, {QStringLiteral("203.0.113.7")}}}};
        (void)DnsMessages::buildUpdate(plan, Key, &made, &error);
    }
    made.id = 0x4242;
    return made;
}
} // namespace

// An answer with two TSIG records makes ldns (1.8.3) keep the second and drop the first without freeing it: a known
// leak of the library, not of this reader.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libldns.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const DnsRequest requests[] = {request(0), request(1), request(2)};
    if (size == 0)
        return 0;
    const DnsRequest& asked = requests[data[0] % 3];
    const QByteArray wire(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const DnsAnswer answer = DnsMessages::readAnswer(wire, asked, Key);
    if (answer.verdict == DnsAnswer::Verdict::Read || answer.verdict == DnsAnswer::Verdict::Truncated ||
        answer.problem.isEmpty() || !answer.addresses.isEmpty() || answer.rcode != 0)
        __builtin_trap();
    (void)DnsMessages::rcodeText(answer, QStringLiteral("example.test"), Key.name);
    return 0;
}
