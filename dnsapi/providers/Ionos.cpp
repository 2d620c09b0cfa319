// IONOS's DNS API (api.hosting.ionos.com/dns/v1): a zone by its id, found in the list of zones; its records asked by
// name and type, created with POST of a list and changed with PUT of one; "X-API-Key: prefix.secret".
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
constexpr int DefaultTtl = 3600; // the control panel's

class Ionos : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        request.setHeader("X-API-Key", session.secret(QStringLiteral("key")).toUtf8());
    }

    std::optional<ApiRequest> findZone(const DnsSession&) const override
    {
        return ApiRequest{"GET", QStringLiteral("/zones")};
    }

    /// [{"name": "example.com", "id": "...", "type": "NATIVE"}]
    ReadResult readZone(DnsSession& session, const ApiReply& reply) const override
    {
        for (const QJsonValue& value : ApiText::json(reply.body).array()) {
            const QJsonObject zone = value.toObject();
            if (ApiText::name(ApiText::shown(zone.value(u"name"))) == session.entry.zone)
                session.zoneId = ApiText::id(zone.value(u"id"));
        }
        if (session.zoneId.isEmpty())
            return ReadResult::fail(
                QStringLiteral("zone %1 not found (or the key may not read it)").arg(session.entry.zone),
                NotificationResult::Category::Configuration);
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString&) const override
    {
        ApiRequest request{"GET", QStringLiteral("/zones/%1").arg(session.zoneId)};
        request.query.addQueryItem(QStringLiteral("recordName"), target.name);
        request.query.addQueryItem(QStringLiteral("recordType"), target.type);
        return request;
    }

    /// The zone with the records asked: {"name", "id", "type", "records": [{"id", "name", "type", "content", "ttl",
    /// "prio", "disabled"}]}.
    ReadResult readList(DnsSession&, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonObject zone = ApiText::json(reply.body).object();
        if (!zone.value(u"records").isArray())
            return ReadResult::fail(QStringLiteral("the answer was not the API's zone"));
        for (const QJsonValue& value : zone.value(u"records").toArray()) {
            const QJsonObject record = value.toObject();
            records.append({ApiText::id(record.value(u"id")), ApiText::shown(record.value(u"name")),
                            ApiText::shown(record.value(u"type")), ApiText::shown(record.value(u"content")),
                            record.value(u"ttl").toInt(), record});
            if (records.last().id.isEmpty())
                return ReadResult::fail(QStringLiteral("the record's answer has no usable id"));
        }
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        const QJsonObject record{{QStringLiteral("name"), target.name},
                                 {QStringLiteral("type"), target.type},
                                 {QStringLiteral("content"), target.address},
                                 {QStringLiteral("ttl"), target.ttl > 0 ? target.ttl : DefaultTtl},
                                 {QStringLiteral("prio"), 0},
                                 {QStringLiteral("disabled"), false}};
        return {"POST", QStringLiteral("/zones/%1/records").arg(session.zoneId),
                QJsonDocument(QJsonArray{record}).toJson(QJsonDocument::Compact)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        // The PUT takes the record's whole state: its TTL, priority and whether it is disabled stay as they were.
        const QJsonObject body{{QStringLiteral("content"), target.address},
                               {QStringLiteral("ttl"), record.ttl > 0 ? record.ttl : DefaultTtl},
                               {QStringLiteral("prio"), record.raw.value(u"prio").toInt()},
                               {QStringLiteral("disabled"), record.raw.value(u"disabled").toBool(false)}};
        return {"PUT", QStringLiteral("/zones/%1/records/%2").arg(session.zoneId, record.id), json(body)};
    }

    /// Its failures come as a list: [{"code": "UNAUTHORIZED", "message": "..."}].
    QString errorText(const ApiReply& reply) const override
    {
        const QJsonDocument answer = ApiText::json(reply.body);
        if (!answer.isArray())
            return DnsProvider::errorText(reply);
        const QJsonObject first = answer.array().first().toObject();
        const QString code = ApiText::shown(first.value(u"code"));
        const QString message = ApiText::shown(first.value(u"message"));
        return code.isEmpty() ? message : QStringLiteral("%1: %2").arg(code, message);
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeIonos()
{
    return std::make_unique<Ionos>();
}
