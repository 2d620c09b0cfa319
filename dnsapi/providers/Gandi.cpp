// Gandi's LiveDNS API (api.gandi.net/v5/livedns): a name's records of one type are one record set, read by its path
// (404 when there is none) and written whole with PUT; a personal access token as a bearer token.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
class Gandi : public DnsProvider
{
public:
    bool missingIs404() const override { return true; }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString&) const override
    {
        return {"GET", setPath(session, target)};
    }

    /// {"rrset_name": "home", "rrset_type": "A", "rrset_ttl": 300, "rrset_values": ["192.0.2.1"]}: one record for
    /// each value, so that a set of two is seen as two records.
    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonObject set = ApiText::json(reply.body).object();
        if (!set.contains(QLatin1String("rrset_values")))
            return ReadResult::fail(QStringLiteral("the answer was not the API's record set"));
        const QString name = ApiText::absolute(ApiText::shown(set.value(u"rrset_name")), session.entry.zone);
        for (const QJsonValue& value : set.value(u"rrset_values").toArray())
            records.append({{}, name, ApiText::shown(set.value(u"rrset_type")), ApiText::shown(value),
                            set.value(u"rrset_ttl").toInt(), {}});
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        return write(session, target, target.ttl);
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return write(session, target, record.ttl); // the set keeps its TTL
    }

private:
    static QString setPath(const DnsSession& session, const DnsTarget& target)
    {
        return QStringLiteral("/domains/%1/records/%2/%3")
            .arg(session.entry.zone, target.relative, target.type); // "@" names the zone itself
    }

    static ApiRequest write(const DnsSession& session, const DnsTarget& target, int ttl)
    {
        QJsonObject body{{QStringLiteral("rrset_values"), QJsonArray{target.address}}};
        if (ttl > 0) // else the zone's default
            body.insert(QStringLiteral("rrset_ttl"), ttl);
        return {"PUT", setPath(session, target), json(body)};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeGandi()
{
    return std::make_unique<Gandi>();
}
