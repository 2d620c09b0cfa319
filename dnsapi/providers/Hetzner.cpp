// Hetzner DNS Console's API v1 (dns.hetzner.com/api-docs): the zone's id found by name, all its records listed by
// zone id, created with POST and changed with PUT of the whole record (name, type, TTL as they were); the token in
// the Auth-API-Token header.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
class Hetzner : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        request.setHeader("Auth-API-Token", session.secret().toUtf8());
    }

    std::optional<ApiRequest> findZone(const DnsSession& session) const override
    {
        ApiRequest request{"GET", QStringLiteral("/zones")};
        request.query.addQueryItem(QStringLiteral("name"), session.entry.zone);
        return request;
    }

    ReadResult readZone(DnsSession& session, const ApiReply& reply) const override
    {
        for (const QJsonValue& value : ApiText::json(reply.body).object().value(u"zones").toArray()) {
            if (ApiText::name(ApiText::shown(value[u"name"])) == session.entry.zone)
                session.zoneId = ApiText::id(value[u"id"]);
        }
        if (session.zoneId.isEmpty())
            return ReadResult::fail(
                QStringLiteral("zone %1 not found (or the token may not read it)").arg(session.entry.zone),
                NotificationResult::Category::Configuration);
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget&, const QString&) const override
    {
        // Without per_page the API answers with all the zone's records at once.
        ApiRequest request{"GET", QStringLiteral("/records")};
        request.query.addQueryItem(QStringLiteral("zone_id"), session.zoneId);
        return request;
    }

    ReadResult readList(DnsSession& session, const DnsTarget& target, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (ReadResult read = readRecords(answer.value(u"records"), RecordShape{"value", "ttl", true}, session.entry.zone, records, &target);
            !read.ok())
            return read;
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        QJsonObject body{{QStringLiteral("zone_id"), session.zoneId},
                         {QStringLiteral("type"), target.type},
                         {QStringLiteral("name"), target.relative},
                         {QStringLiteral("value"), target.address}};
        if (target.ttl > 0)
            body.insert(QStringLiteral("ttl"), target.ttl);
        return {"POST", QStringLiteral("/records"), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        // A PUT replaces the record: its name, type and TTL go back as the API gave them.
        QJsonObject body{{QStringLiteral("zone_id"), session.zoneId},
                         {QStringLiteral("type"), target.type},
                         {QStringLiteral("name"), record.raw.value(u"name").toString(target.relative)},
                         {QStringLiteral("value"), target.address}};
        if (record.raw.value(u"ttl").isDouble())
            body.insert(QStringLiteral("ttl"), record.raw.value(u"ttl"));
        return {"PUT", QStringLiteral("/records/%1").arg(record.id), json(body)};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeHetzner()
{
    return std::make_unique<Hetzner>();
}
