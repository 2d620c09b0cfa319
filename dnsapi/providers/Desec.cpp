// deSEC's API (desec.io/api/v1): a name's records of one type are one RRset, read by its path (404 when there is
// none), created with POST and changed with PATCH of its records; "Authorization: Token <token>".
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
constexpr int DefaultTtl = 3600; // the usual least a domain takes

class Desec : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        request.setHeader("Authorization", "Token " + session.secret().toUtf8());
    }

    bool missingIs404() const override { return true; }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString&) const override
    {
        return {"GET", setPath(session, target)};
    }

    /// {"subname": "home", "name": "home.example.com.", "type": "A", "records": ["192.0.2.1"], "ttl": 3600}: one
    /// record for each of its records.
    ReadResult readList(DnsSession&, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonObject set = ApiText::json(reply.body).object();
        if (!set.value(u"records").isArray())
            return ReadResult::fail(QStringLiteral("the answer was not the API's RRset"));
        for (const QJsonValue& value : set.value(u"records").toArray())
            records.append({{}, ApiText::name(ApiText::shown(set.value(u"name"))), ApiText::shown(set.value(u"type")),
                            ApiText::shown(value), set.value(u"ttl").toInt(), {}});
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        const QJsonObject body{{QStringLiteral("subname"), subname(target)},
                               {QStringLiteral("type"), target.type},
                               {QStringLiteral("ttl"), target.ttl > 0 ? target.ttl : DefaultTtl},
                               {QStringLiteral("records"), QJsonArray{target.address}}};
        return {"POST", QStringLiteral("/domains/%1/rrsets/").arg(session.entry.zone), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord&) const override
    {
        // Only the records: the RRset keeps its TTL.
        return {"PATCH", setPath(session, target), json({{QStringLiteral("records"), QJsonArray{target.address}}})};
    }

private:
    /// The zone itself has the empty subname, which its path writes as "@".
    static QString subname(const DnsTarget& target)
    {
        return target.relative == QLatin1String("@") ? QString() : target.relative;
    }

    static QString setPath(const DnsSession& session, const DnsTarget& target)
    {
        return QStringLiteral("/domains/%1/rrsets/%2/%3/").arg(session.entry.zone, target.relative, target.type);
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeDesec()
{
    return std::make_unique<Desec>();
}
