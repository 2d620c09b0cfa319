// Hetzner's Cloud API v1 (docs.hetzner.cloud, Zones and Zone RRSets): one record set per name and type, read by
// its path (a 404: none yet), created with POST and its values replaced with the set_records action; a bearer
// token. Each value of a set is one record to the engine, so a set of two is left to the user.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
class HetznerCloud : public DnsProvider
{
public:
    static QString rrsets(const DnsSession& session)
    {
        return QStringLiteral("/zones/%1/rrsets").arg(session.entry.zone);
    }
    static QString rrset(const DnsSession& session, const DnsTarget& target)
    {
        return rrsets(session) + QStringLiteral("/%1/%2").arg(target.relative, target.type);
    }
    static QJsonArray values(const DnsTarget& target)
    {
        return {QJsonObject{{QStringLiteral("value"), target.address}}};
    }

    bool missingIs404() const override { return true; }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString&) const override
    {
        return {"GET", rrset(session, target)};
    }

    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonObject set = ApiText::json(reply.body).object().value(u"rrset").toObject();
        if (set.isEmpty())
            return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
        const QString name = ApiText::absolute(ApiText::shown(set.value(u"name")), session.entry.zone);
        const QString type = ApiText::shown(set.value(u"type"));
        for (const QJsonValue& value : set.value(u"records").toArray()) {
            if (records.size() >= ApiText::MaxRecords) // the rest are not read
                break;
            records.append({{}, name, type, ApiText::shown(value[u"value"]), set.value(u"ttl").toInt(), {}});
        }
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        QJsonObject body{{QStringLiteral("name"), target.relative},
                         {QStringLiteral("type"), target.type},
                         {QStringLiteral("records"), values(target)}};
        if (target.ttl > 0)
            body.insert(QStringLiteral("ttl"), target.ttl);
        return {"POST", rrsets(session), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord&) const override
    {
        return {"POST", rrset(session, target) + QStringLiteral("/actions/set_records"),
                json({{QStringLiteral("records"), values(target)}})};
    }

    ReadResult readWrite(DnsSession&, const DnsTarget&, const ApiReply& reply) const override
    {
        // The write is an action that may still be running; only one that already failed says so.
        const QJsonObject action = ApiText::json(reply.body).object().value(u"action").toObject();
        if (action.value(u"status").toString() == QLatin1String("error"))
            return ReadResult::fail(
                QStringLiteral("the API's action failed (%1)").arg(ApiText::shown(action.value(u"error")[u"message"])));
        return {};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeHetznerCloud()
{
    return std::make_unique<HetznerCloud>();
}
