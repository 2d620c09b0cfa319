// Dynu's API v2 (api.dynu.com/v2): a domain by its id, found in the list of domains; its records listed whole,
// created with POST and changed with POST to the record's path; "API-Key: <key>".
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
constexpr int DefaultTtl = 300;

/// Where a record of @p type keeps its address.
QLatin1String addressField(const QString& type)
{
    return type == QLatin1String("AAAA") ? QLatin1String("ipv6Address") : QLatin1String("ipv4Address");
}

class Dynu : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        request.setHeader("API-Key", session.secret().toUtf8());
    }

    std::optional<ApiRequest> findZone(const DnsSession&) const override
    {
        return ApiRequest{"GET", QStringLiteral("/dns")};
    }

    /// {"statusCode": 200, "domains": [{"id": 100, "name": "example.com", ...}]}
    ReadResult readZone(DnsSession& session, const ApiReply& reply) const override
    {
        for (const QJsonValue& value : ApiText::json(reply.body).object().value(u"domains").toArray()) {
            const QJsonObject domain = value.toObject();
            if (ApiText::name(ApiText::shown(domain.value(u"name"))) == session.entry.zone)
                session.zoneId = ApiText::id(domain.value(u"id"));
        }
        if (session.zoneId.isEmpty())
            return ReadResult::fail(
                QStringLiteral("domain %1 not found (or the key may not read it)").arg(session.entry.zone),
                NotificationResult::Category::Configuration);
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget&, const QString&) const override
    {
        return {"GET", QStringLiteral("/dns/%1/record").arg(session.zoneId)};
    }

    /// {"statusCode": 200, "dnsRecords": [{"id", "nodeName", "hostname", "recordType", "ttl", "state",
    /// "ipv4Address" | "ipv6Address" | "textData" ...}]}
    ReadResult readList(DnsSession&, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (!answer.value(u"dnsRecords").isArray())
            return ReadResult::fail(QStringLiteral("the answer was not the API's list of records"));
        for (const QJsonValue& value : answer.value(u"dnsRecords").toArray()) {
            const QJsonObject record = value.toObject();
            const QString type = ApiText::shown(record.value(u"recordType"));
            records.append({ApiText::id(record.value(u"id")), ApiText::shown(record.value(u"hostname")), type,
                            ApiText::shown(record.value(addressField(type))), record.value(u"ttl").toInt(), record});
            if (records.last().id.isEmpty())
                return ReadResult::fail(QStringLiteral("the record's answer has no usable id"));
        }
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        return {"POST", QStringLiteral("/dns/%1/record").arg(session.zoneId),
                json(body(target, target.ttl > 0 ? target.ttl : DefaultTtl, true))};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        // The record keeps its TTL and whether it is on.
        return {"POST", QStringLiteral("/dns/%1/record/%2").arg(session.zoneId, record.id),
                json(body(target, record.ttl > 0 ? record.ttl : DefaultTtl,
                          record.raw.value(u"state").toBool(true)))};
    }

private:
    static QJsonObject body(const DnsTarget& target, int ttl, bool state)
    {
        return {{QStringLiteral("nodeName"), target.relative == QLatin1String("@") ? QString() : target.relative},
                {QStringLiteral("recordType"), target.type},
                {QStringLiteral("ttl"), ttl},
                {QStringLiteral("state"), state},
                {addressField(target.type), target.address}};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeDynu()
{
    return std::make_unique<Dynu>();
}
