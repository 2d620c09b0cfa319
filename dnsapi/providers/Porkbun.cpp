// Porkbun's JSON API v3 (porkbun.com/api/json/v3/documentation): every call a POST whose JSON body carries the API
// key and the secret API key; the records of one name and type read with retrieveByNameType, written with
// editByNameType (which takes the TTL and notes afresh, so they go back as they were) and created with create.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
/// {"status": "SUCCESS" | "ERROR", "message": "..."}: a failure naming the message when it is not a success.
ReadResult statusOf(const QJsonObject& answer)
{
    if (answer.isEmpty())
        return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
    if (answer.value(u"status").toString() != QLatin1String("SUCCESS"))
        return ReadResult::fail(
            QStringLiteral("the API did not carry out the request (%1)").arg(ApiText::shown(answer.value(u"message"))));
    return {};
}

class Porkbun : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        QJsonObject body = ApiText::json(request.body).object();
        body.insert(QStringLiteral("apikey"), session.secret(QStringLiteral("apikey")));
        body.insert(QStringLiteral("secretapikey"), session.secret(QStringLiteral("secretapikey")));
        request.body = json(body);
    }

    /// "/dns/<verb>/example.com/A/home", without the last part for the zone itself.
    static QString byNameType(const char* verb, const DnsSession& session, const DnsTarget& target)
    {
        const QString path = QStringLiteral("/dns/%1/%2/%3").arg(QLatin1String(verb), session.entry.zone, target.type);
        return target.relative == QLatin1String("@") ? path : path + u'/' + target.relative;
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString&) const override
    {
        return {"POST", byNameType("retrieveByNameType", session, target)};
    }

    ReadResult readList(DnsSession&, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (ReadResult read = statusOf(answer); !read.ok())
            return read;
        for (const QJsonValue& value : answer.value(u"records").toArray()) {
            if (records.size() >= ApiText::MaxRecords) // the rest are not read
                break;
            const QJsonObject record = value.toObject();
            records.append({ApiText::id(record.value(u"id")), ApiText::shown(record.value(u"name")),
                            ApiText::shown(record.value(u"type")), ApiText::shown(record.value(u"content")),
                            ApiText::shown(record.value(u"ttl")).toInt(), record});
        }
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        QJsonObject body{{QStringLiteral("name"), target.relative == QLatin1String("@") ? QString() : target.relative},
                         {QStringLiteral("type"), target.type},
                         {QStringLiteral("content"), target.address}};
        if (target.ttl > 0)
            body.insert(QStringLiteral("ttl"), QString::number(target.ttl));
        return {"POST", QStringLiteral("/dns/create/%1").arg(session.entry.zone), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        QJsonObject body{{QStringLiteral("content"), target.address}};
        if (record.ttl > 0)
            body.insert(QStringLiteral("ttl"), QString::number(record.ttl));
        if (const QString notes = record.raw.value(u"notes").toString(); !notes.isEmpty())
            body.insert(QStringLiteral("notes"), notes);
        return {"POST", byNameType("editByNameType", session, target), json(body)};
    }

    ReadResult readWrite(DnsSession&, const DnsTarget&, const ApiReply& reply) const override
    {
        return statusOf(ApiText::json(reply.body).object());
    }

    NotificationResult::Category category(const ApiReply& reply, NotificationResult::Category usual) const override
    {
        // A refused key comes back as 400 "Invalid API key. (002)"; too many requests as a bare 503 page.
        if (reply.status == 400 && errorText(reply).startsWith(QLatin1String("Invalid API key")))
            return NotificationResult::Category::Authentication;
        return reply.status == 503 ? NotificationResult::Category::RateLimited : usual;
    }
};
} // namespace

std::unique_ptr<DnsProvider> makePorkbun()
{
    return std::make_unique<Porkbun>();
}
