// GoDaddy's Domains API v1 (api.godaddy.com/v1): the records of a name and type read by their path and replaced
// together with PUT; "Authorization: sso-key KEY:SECRET".
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

#include <algorithm>

namespace {
constexpr int MinTtl = 600; // the API refuses less

class GoDaddy : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        request.setHeader("Authorization",
                          "sso-key " + session.secret(QStringLiteral("key")).toUtf8() + ':' +
                              session.secret(QStringLiteral("secret")).toUtf8());
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString&) const override
    {
        return {"GET", recordsPath(session, target)};
    }

    /// [{"data": "192.0.2.1", "name": "home", "ttl": 600, "type": "A"}]; [] when there is none.
    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonDocument answer = ApiText::json(reply.body);
        if (!answer.isArray())
            return ReadResult::fail(QStringLiteral("the answer was not the API's list of records"));
        for (const QJsonValue& value : answer.array()) {
            const QJsonObject record = value.toObject();
            records.append({{}, ApiText::absolute(ApiText::shown(record.value(u"name")), session.entry.zone),
                            ApiText::shown(record.value(u"type")), ApiText::shown(record.value(u"data")),
                            record.value(u"ttl").toInt(), {}});
        }
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        return write(session, target, std::max(target.ttl, MinTtl));
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return write(session, target, std::max(record.ttl, MinTtl));
    }

private:
    static QString recordsPath(const DnsSession& session, const DnsTarget& target)
    {
        return QStringLiteral("/domains/%1/records/%2/%3").arg(session.entry.zone, target.type, target.relative);
    }

    /// The PUT replaces every record of the name and type: the engine sends it only when there is at most one.
    static ApiRequest write(const DnsSession& session, const DnsTarget& target, int ttl)
    {
        const QJsonArray body{QJsonObject{{QStringLiteral("data"), target.address}, {QStringLiteral("ttl"), ttl}}};
        return {"PUT", recordsPath(session, target), QJsonDocument(body).toJson(QJsonDocument::Compact)};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeGoDaddy()
{
    return std::make_unique<GoDaddy>();
}
