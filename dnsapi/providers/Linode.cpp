// Linode's API v4 (techdocs.akamai.com/linode-api): the domain's id found by listing the domains (filtered by
// X-Filter), its records listed page by page, created with POST and changed with PUT (the target only); a bearer
// token.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
/// The list's page after this one, from {"data": [...], "page": n, "pages": m}; empty on the last.
QString nextPage(const QJsonObject& answer)
{
    const int page = answer.value(u"page").toInt(1);
    return page < answer.value(u"pages").toInt(1) ? QString::number(page + 1) : QString();
}

class Linode : public DnsProvider
{
public:
    std::optional<ApiRequest> findZone(const DnsSession& session) const override
    {
        ApiRequest request{"GET", QStringLiteral("/domains")};
        request.setHeader("X-Filter", json({{QStringLiteral("domain"), session.entry.zone}}));
        return request;
    }

    ReadResult readZone(DnsSession& session, const ApiReply& reply) const override
    {
        for (const QJsonValue& value : ApiText::json(reply.body).object().value(u"data").toArray()) {
            if (ApiText::name(ApiText::shown(value[u"domain"])) == session.entry.zone)
                session.zoneId = ApiText::id(value[u"id"]);
        }
        if (session.zoneId.isEmpty())
            return ReadResult::fail(
                QStringLiteral("domain %1 not found (or the token may not read it)").arg(session.entry.zone),
                NotificationResult::Category::Configuration);
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget&, const QString& page) const override
    {
        ApiRequest request{"GET", QStringLiteral("/domains/%1/records").arg(session.zoneId)};
        request.query.addQueryItem(QStringLiteral("page_size"), QStringLiteral("500"));
        if (!page.isEmpty())
            request.query.addQueryItem(QStringLiteral("page"), page);
        return request;
    }

    ReadResult readList(DnsSession& session, const DnsTarget& target, const ApiReply& reply, QList<DnsRecord>& records,
                        QString& next) const override
    {
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (ReadResult read = readRecords(answer.value(u"data"), RecordShape{"target", "ttl_sec"}, session.entry.zone, records, &target);
            !read.ok())
            return read;
        next = nextPage(answer);
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        QJsonObject body{{QStringLiteral("type"), target.type},
                         {QStringLiteral("name"), target.relative == QLatin1String("@") ? QString() : target.relative},
                         {QStringLiteral("target"), target.address}};
        if (target.ttl > 0)
            body.insert(QStringLiteral("ttl_sec"), target.ttl);
        return {"POST", QStringLiteral("/domains/%1/records").arg(session.zoneId), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return {"PUT", QStringLiteral("/domains/%1/records/%2").arg(session.zoneId, record.id),
                json({{QStringLiteral("target"), target.address}})};
    }

    QString errorText(const ApiReply& reply) const override
    {
        // {"errors": [{"reason": "...", "field": "..."}]}
        const QJsonObject error = ApiText::json(reply.body).object().value(u"errors").toArray().first().toObject();
        const QString reason = ApiText::shown(error.value(u"reason"));
        const QString field = ApiText::shown(error.value(u"field"));
        return field.isEmpty() ? reason : QStringLiteral("%1: %2").arg(field, reason);
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeLinode()
{
    return std::make_unique<Linode>();
}
