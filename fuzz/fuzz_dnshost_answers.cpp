// Every provider's readers of a DNS host's answers (login, zone, records, write, error text) on any bytes, as the
// statuses a host answers with.
#include "dnsapi/DnsProvider.h"
#include "dnsapi/ApiText.h"
#include "dnsapi/DnsProviders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ApiReply reply{size > 0 && data[0] % 2 ? 404 : 200,
                         QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))};
    const DnsTarget target{QStringLiteral("home.example.com"), QStringLiteral("home"), QStringLiteral("A"),
                           QStringLiteral("203.0.113.7"), 0, {}};
    for (const DnsProviderInfo& info : DnsProviders::all()) {
        const std::unique_ptr<DnsProvider> provider = info.make();
        DnsSession session;
        session.entry.zone = QStringLiteral("example.com");
        session.api = QUrl(QString::fromLatin1(info.api));
        (void)provider->readLogin(session, reply);
        (void)provider->readZone(session, reply);
        QList<DnsRecord> records;
        QString next;
        (void)provider->readList(session, target, reply, records, next);
        if (records.size() > 2 * ApiText::MaxRecords)
            __builtin_trap();
        for (const DnsRecord& record : records) {
            // An id goes into a URL path: nothing that could leave it.
            if (record.id.contains(u'/') || record.id.contains(u'?') || record.id.contains(u'#'))
                __builtin_trap();
        }
        (void)provider->readWrite(session, target, reply);
        (void)provider->errorText(reply);
    }
    return 0;
}
