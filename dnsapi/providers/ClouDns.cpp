// ClouDNS's API (api.cloudns.net/dns): records listed by host and type with records.json, created with
// add-record.json and changed with mod-record.json; the auth-id and auth-password go in the (form) body of each POST,
// never in its address. A refusal comes in a 200 answer as {"status": "Failed", "statusDescription": "..."}.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <array>

namespace {
// The API takes only these TTLs.
constexpr std::array Ttls{60, 300, 900, 1800, 3600, 21600, 43200, 86400, 172800, 259200, 604800, 1209600, 2419200};
constexpr int DefaultTtl = 3600;

/// The least TTL the API takes that is not below @p ttl.
int allowedTtl(int ttl)
{
    for (const int allowed : Ttls) {
        if (allowed >= ttl)
            return allowed;
    }
    return Ttls.back();
}

/// @p form with "&name=value" added, both percent-encoded (a "+" or "&" in a password stays what it is).
void addItem(QByteArray& form, const QString& name, const QString& value)
{
    if (!form.isEmpty())
        form += '&';
    form += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
}

/// The API's failure in a 200 answer, if @p answer is one: a refused auth-id or password counts as Authentication,
/// "Request blocked, ... is sending more than 20 requests per second." as RateLimited (it names no time to wait).
ReadResult failureOf(const QJsonObject& answer)
{
    using Category = NotificationResult::Category;
    if (answer.value(u"status").toString() != QLatin1String("Failed"))
        return {};
    const QString text = ApiText::shown(answer.value(u"statusDescription"));
    const Category category = text.contains(QLatin1String("blocked"), Qt::CaseInsensitive) ? Category::RateLimited
                              : text.contains(QLatin1String("auth"), Qt::CaseInsensitive) ? Category::Authentication
                                                                                          : Category::Configuration;
    return ReadResult::fail(text.isEmpty() ? QStringLiteral("the API refused the request") : text, category);
}

class ClouDns : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        addItem(request.body, QStringLiteral("auth-id"), session.field(QStringLiteral("authId")));
        addItem(request.body, QStringLiteral("auth-password"), session.secret(QStringLiteral("password")));
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString&) const override
    {
        return post("/records.json", session, target, {{QStringLiteral("type"), target.type}});
    }

    /// {"101": {"id": "101", "type": "A", "host": "home", "record": "192.0.2.1", "ttl": "3600", "status": 1}}; []
    /// when there is none.
    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonDocument answer = ApiText::json(reply.body);
        if (answer.isArray())
            return {};
        if (ReadResult failure = failureOf(answer.object()); !failure.ok())
            return failure;
        if (!answer.isObject())
            return ReadResult::fail(QStringLiteral("the answer was not the API's list of records"));
        for (const QJsonValue& value : answer.object()) {
            const QJsonObject record = value.toObject();
            const QString host = ApiText::shown(record.value(u"host"));
            records.append({ApiText::id(record.value(u"id")),
                            ApiText::absolute(host.isEmpty() ? QStringLiteral("@") : host, session.entry.zone),
                            ApiText::shown(record.value(u"type")), ApiText::shown(record.value(u"record")),
                            ApiText::shown(record.value(u"ttl")).toInt(), {}});
            if (records.last().id.isEmpty())
                return ReadResult::fail(QStringLiteral("the record's answer has no usable id"));
        }
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        return post("/add-record.json", session, target,
                    {{QStringLiteral("record-type"), target.type},
                     {QStringLiteral("record"), target.address},
                     {QStringLiteral("ttl"), QString::number(allowedTtl(target.ttl > 0 ? target.ttl : DefaultTtl))}});
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        // mod-record.json asks for the TTL too: the record's own.
        return post("/mod-record.json", session, target,
                    {{QStringLiteral("record-id"), record.id},
                     {QStringLiteral("record"), target.address},
                     {QStringLiteral("ttl"), QString::number(allowedTtl(record.ttl > 0 ? record.ttl : DefaultTtl))}});
    }

    /// {"status": "Success", "statusDescription": "The record was added successfully.", "data": {"id": 102}}
    ReadResult readWrite(DnsSession&, const DnsTarget&, const ApiReply& reply) const override
    {
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (ReadResult failure = failureOf(answer); !failure.ok())
            return failure;
        if (answer.value(u"status").toString() != QLatin1String("Success"))
            return ReadResult::fail(QStringLiteral("the answer was not the API's"));
        return {};
    }

    QString errorText(const ApiReply& reply) const override
    {
        return ApiText::shown(ApiText::json(reply.body).object().value(u"statusDescription"));
    }

private:
    /// A POST of @p items with the zone and the host (empty for the zone itself) as a form.
    static ApiRequest post(const char* path, const DnsSession& session, const DnsTarget& target,
                           const QList<std::pair<QString, QString>>& items)
    {
        QByteArray form;
        addItem(form, QStringLiteral("domain-name"), session.entry.zone);
        addItem(form, QStringLiteral("host"), target.relative == QLatin1String("@") ? QString() : target.relative);
        for (const auto& [name, value] : items)
            addItem(form, name, value);
        ApiRequest request{"POST", QString::fromLatin1(path), form};
        request.contentType = "application/x-www-form-urlencoded";
        return request;
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeClouDns()
{
    return std::make_unique<ClouDns>();
}
