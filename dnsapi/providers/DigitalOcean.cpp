// DigitalOcean's API v2 (docs.digitalocean.com/reference/api): a domain's records listed by type and full name,
// paged (links.pages.next), created with POST and changed with PATCH (the data only); a bearer token.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
class DigitalOcean : public DnsProvider
{
public:
    static QString records(const DnsSession& session)
    {
        return QStringLiteral("/domains/%1/records").arg(session.entry.zone);
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString& page) const override
    {
        ApiRequest request{"GET", records(session)};
        request.query.addQueryItem(QStringLiteral("type"), target.type);
        request.query.addQueryItem(QStringLiteral("name"), target.name);
        request.query.addQueryItem(QStringLiteral("per_page"), QStringLiteral("100"));
        if (!page.isEmpty())
            request.query.addQueryItem(QStringLiteral("page"), page);
        return request;
    }

    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString& next) const override
    {
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (ReadResult read = readRecords(answer.value(u"domain_records"), RecordShape{"data"}, session.entry.zone, records);
            !read.ok())
            return read;
        // Only the page number is taken from the next page's address: the requests stay on the API address.
        const QUrl url(answer.value(u"links").toObject().value(u"pages").toObject().value(u"next").toString());
        const QString page = QUrlQuery(url).queryItemValue(QStringLiteral("page"));
        if (page.toInt() > 1)
            next = QString::number(page.toInt());
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        QJsonObject body{{QStringLiteral("type"), target.type},
                         {QStringLiteral("name"), target.relative},
                         {QStringLiteral("data"), target.address}};
        if (target.ttl > 0)
            body.insert(QStringLiteral("ttl"), target.ttl);
        return {"POST", records(session), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return {"PATCH", records(session) + u'/' + record.id,
                json({{QStringLiteral("type"), target.type}, {QStringLiteral("data"), target.address}})};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeDigitalOcean()
{
    return std::make_unique<DigitalOcean>();
}
