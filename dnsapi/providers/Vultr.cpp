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
        if (ReadResult read = readRecords(answer.value(u"records"), RecordShape{"data"}, session.entry.zone, records, &target);
            !read.ok())
            return read;
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
