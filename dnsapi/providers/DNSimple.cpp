// DNSimple's API v2 (developer.dnsimple.com/v2): an account's zone's records listed by name and type, paged
// (pagination.total_pages), created with POST and changed with PATCH (the content only); a bearer token.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
class DNSimple : public DnsProvider
{
public:
    static QString records(const DnsSession& session)
    {
        return QStringLiteral("/%1/zones/%2/records")
            .arg(QString::fromLatin1(QUrl::toPercentEncoding(session.field(QStringLiteral("account")))),
                 session.entry.zone);
    }
    /// The name as the API keeps it: relative, "" for the zone itself.
    static QString relative(const DnsTarget& target)
    {
        return target.relative == QLatin1String("@") ? QString() : target.relative;
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString& page) const override
    {
        ApiRequest request{"GET", records(session)};
        request.query.addQueryItem(QStringLiteral("name"), relative(target));
        request.query.addQueryItem(QStringLiteral("type"), target.type);
        if (!page.isEmpty())
            request.query.addQueryItem(QStringLiteral("page"), page);
        return request;
    }

    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString& next) const override
    {
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (!answer.value(u"data").isArray())
            return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
        for (const QJsonValue& value : answer.value(u"data").toArray()) {
            if (records.size() >= ApiText::MaxRecords) // the rest are not read
                break;
            const QJsonObject record = value.toObject();
            records.append({ApiText::id(record.value(u"id")),
                            ApiText::absolute(ApiText::shown(record.value(u"name")), session.entry.zone),
                            ApiText::shown(record.value(u"type")),
                            ApiText::shown(record.value(u"content")),
                            record.value(u"ttl").toInt(),
                            {}});
            if (records.last().id.isEmpty())
                return ReadResult::fail(QStringLiteral("the record's answer has no usable id"));
        }
        const QJsonObject pages = answer.value(u"pagination").toObject();
        const int page = pages.value(u"current_page").toInt(1);
        if (page < pages.value(u"total_pages").toInt(1))
            next = QString::number(page + 1);
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        QJsonObject body{{QStringLiteral("name"), relative(target)},
                         {QStringLiteral("type"), target.type},
                         {QStringLiteral("content"), target.address}};
        if (target.ttl > 0)
            body.insert(QStringLiteral("ttl"), target.ttl);
        return {"POST", records(session), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return {"PATCH", records(session) + u'/' + record.id, json({{QStringLiteral("content"), target.address}})};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeDNSimple()
{
    return std::make_unique<DNSimple>();
}
