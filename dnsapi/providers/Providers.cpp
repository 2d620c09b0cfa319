#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

ReadResult readRecords(const QJsonValue& array, const RecordShape& shape, const QString& zone,
                       QList<DnsRecord>& records, const DnsTarget* only)
{
    if (!array.isArray())
        return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
    for (const QJsonValue& value : array.toArray()) {
        if (records.size() >= ApiText::MaxRecords) // the rest are not read
            break;
        const QJsonObject object = value.toObject();
        DnsRecord record{ApiText::id(object.value(u"id")),
                         ApiText::absolute(ApiText::shown(object.value(u"name")), zone),
                         ApiText::shown(object.value(u"type")),
                         ApiText::shown(object.value(QLatin1String(shape.content))),
                         object.value(QLatin1String(shape.ttl)).toInt(),
                         shape.keepRaw ? object : QJsonObject()};
        if (only && !isOf(record, *only))
            continue;
        if (record.id.isEmpty())
            return ReadResult::fail(QStringLiteral("the record's answer has no usable id"));
        records.append(std::move(record));
    }
    return {};
}
