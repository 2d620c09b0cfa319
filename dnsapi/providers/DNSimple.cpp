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
        if (ReadResult read = readRecords(answer.value(u"data"), RecordShape{"content"}, session.entry.zone, records);
            !read.ok())
            return read;
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
