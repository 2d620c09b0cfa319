// Vultr's API v2 (www.vultr.com/api): a domain's records listed by cursor (meta.links.next), created with POST
// and changed with PATCH (the data only); a bearer token.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
class Vultr : public DnsProvider
{
public:
    static QString records(const DnsSession& session)
    {
        return QStringLiteral("/domains/%1/records").arg(session.entry.zone);
    }

    ApiRequest list(const DnsSession& session, const DnsTarget&, const QString& page) const override
    {
        ApiRequest request{"GET", records(session)};
        request.query.addQueryItem(QStringLiteral("per_page"), QStringLiteral("500"));
        if (!page.isEmpty())
            request.query.addQueryItem(QStringLiteral("cursor"), QString::fromLatin1(QUrl::toPercentEncoding(page)));
        return request;
    }

    ReadResult readList(DnsSession& session, const DnsTarget& target, const ApiReply& reply, QList<DnsRecord>& records,
                        QString& next) const override
    {
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (!answer.value(u"records").isArray())
            return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
        for (const QJsonValue& value : answer.value(u"records").toArray()) {
            if (records.size() >= ApiText::MaxRecords) // the rest are not read
                break;
            const QJsonObject record = value.toObject();
            // Names come relative to the domain, "" for the domain itself.
            records.append({ApiText::id(record.value(u"id")),
                            ApiText::absolute(ApiText::shown(record.value(u"name")), session.entry.zone),
                            ApiText::shown(record.value(u"type")),
                            ApiText::shown(record.value(u"data")),
                            record.value(u"ttl").toInt(),
                            {}});
            if (!isOf(records.last(), target)) {
                records.removeLast();
                continue;
            }
            if (records.last().id.isEmpty())
                return ReadResult::fail(QStringLiteral("the record's answer has no usable id"));
        }
        // The cursor is opaque: it goes back as it came, encoded, and no longer than an id.
        const QString cursor = answer.value(u"meta")[u"links"][u"next"].toString();
        if (cursor.size() <= ApiText::MaxIdChars)
            next = cursor;
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        QJsonObject body{{QStringLiteral("name"), target.relative == QLatin1String("@") ? QString() : target.relative},
                         {QStringLiteral("type"), target.type},
                         {QStringLiteral("data"), target.address}};
        if (target.ttl > 0)
            body.insert(QStringLiteral("ttl"), target.ttl);
        return {"POST", records(session), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return {"PATCH", records(session) + u'/' + record.id, json({{QStringLiteral("data"), target.address}})};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeVultr()
{
    return std::make_unique<Vultr>();
}
