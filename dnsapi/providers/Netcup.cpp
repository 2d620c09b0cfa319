// Netcup's CCP DNS API (ccp.netcup.net/run/webservice/servers/endpoint.php?JSON): JSON actions POSTed to that one
// address; login with the customer number, API key and API password gives a session id that the other actions carry;
// infoDnsRecords lists a zone's records, updateDnsRecords writes the records it is given (one with an id is changed,
// one without is added) and logout ends the session. Every answer is a 200 with "status" and "statuscode" in it.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>

namespace {
/// {"action": ..., "param": {...}} with the credentials the action needs added to its parameters.
ApiRequest action(const DnsSession& session, const char* name, QJsonObject param)
{
    param.insert(QStringLiteral("customernumber"), session.field(QStringLiteral("customer")));
    param.insert(QStringLiteral("apikey"), session.secret(QStringLiteral("apikey")));
    if (session.token.isEmpty())
        param.insert(QStringLiteral("apipassword"), session.secret(QStringLiteral("apipassword")));
    else
        param.insert(QStringLiteral("apisessionid"), session.token);
    return {"POST", QString(), json({{QStringLiteral("action"), QString::fromLatin1(name)}, {QStringLiteral("param"), param}})};
}

QString messageOf(const QJsonObject& answer)
{
    const QString code = ApiText::shown(answer.value(u"statuscode"));
    QString text = ApiText::shown(answer.value(u"longmessage"));
    if (text.isEmpty())
        text = ApiText::shown(answer.value(u"shortmessage"));
    return code.isEmpty() ? text : QStringLiteral("status %1: %2").arg(code, text);
}

/// {"status": "success", "statuscode": 2000, "shortmessage", "longmessage", "responsedata": {...}}: the answer's
/// data when it says success, else a failure of @p category with its messages. Too many requests are refused the
/// same way ("More than 180 requests per minute. ...", "Too many error messages, ..."): RateLimited, without a time.
ReadResult successOf(const ApiReply& reply, QJsonObject& data,
                     NotificationResult::Category category = NotificationResult::Category::Transient)
{
    const QJsonObject answer = ApiText::json(reply.body).object();
    if (answer.isEmpty())
        return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
    if (answer.value(u"status").toString() != QLatin1String("success")) {
        const QString message = messageOf(answer);
        if (message.contains(QLatin1String("requests per minute"), Qt::CaseInsensitive) ||
            message.contains(QLatin1String("too many"), Qt::CaseInsensitive))
            category = NotificationResult::Category::RateLimited;
        return ReadResult::fail(QStringLiteral("the API did not carry out the request (%1)").arg(message), category);
    }
    data = answer.value(u"responsedata").toObject();
    return {};
}

class Netcup : public DnsProvider
{
public:
    void authenticate(const DnsSession&, ApiRequest&) const override {} // in each action's parameters

    std::optional<ApiRequest> login(const DnsSession& session) const override
    {
        if (!session.token.isEmpty())
            return std::nullopt;
        return action(session, "login", {});
    }

    ReadResult readLogin(DnsSession& session, const ApiReply& reply) const override
    {
        // A refused login is the credentials' fault (a wrong number, key or password) unless it says otherwise.
        QJsonObject data;
        if (ReadResult read = successOf(reply, data, NotificationResult::Category::Authentication); !read.ok())
            return read;
        session.token = ApiText::id(data.value(u"apisessionid"));
        if (session.token.isEmpty())
            return ReadResult::fail(QStringLiteral("the login's answer has no usable session id"));
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget&, const QString&) const override
    {
        return action(session, "infoDnsRecords", {{QStringLiteral("domainname"), session.entry.zone}});
    }

    /// "responsedata": {"dnsrecords": [{"id", "hostname": "home" | "@", "type", "priority", "destination",
    /// "deleterecord", "state"}]}: every record of the zone.
    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        QJsonObject data;
        if (ReadResult read = successOf(reply, data); !read.ok())
            return read;
        for (const QJsonValue& value : data.value(u"dnsrecords").toArray()) {
            const QJsonObject record = value.toObject();
            records.append({ApiText::id(record.value(u"id")),
                            ApiText::absolute(ApiText::shown(record.value(u"hostname")), session.entry.zone),
                            ApiText::shown(record.value(u"type")), ApiText::shown(record.value(u"destination")), 0,
                            record});
            if (records.last().id.isEmpty())
                return ReadResult::fail(QStringLiteral("the record's answer has no usable id"));
        }
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        return update(session, {{QStringLiteral("hostname"), target.relative},
                                {QStringLiteral("type"), target.type},
                                {QStringLiteral("destination"), target.address},
                                {QStringLiteral("deleterecord"), false}});
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return update(session, {{QStringLiteral("id"), record.id},
                                {QStringLiteral("hostname"), record.raw.value(u"hostname")},
                                {QStringLiteral("type"), target.type},
                                {QStringLiteral("priority"), record.raw.value(u"priority")},
                                {QStringLiteral("destination"), target.address},
                                {QStringLiteral("deleterecord"), false}});
    }

    ReadResult readWrite(DnsSession&, const DnsTarget&, const ApiReply& reply) const override
    {
        QJsonObject data;
        return successOf(reply, data);
    }

    std::optional<ApiRequest> logout(const DnsSession& session) const override
    {
        if (session.token.isEmpty())
            return std::nullopt;
        return action(session, "logout", {});
    }

    QString errorText(const ApiReply& reply) const override
    {
        return messageOf(ApiText::json(reply.body).object());
    }

private:
    /// Only the record given is written: the zone's other records stay as they are.
    static ApiRequest update(const DnsSession& session, const QJsonObject& record)
    {
        const QJsonObject set{{QStringLiteral("dnsrecords"), QJsonArray{record}}};
        return action(session, "updateDnsRecords",
                      {{QStringLiteral("domainname"), session.entry.zone}, {QStringLiteral("dnsrecordset"), set}});
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeNetcup()
{
    return std::make_unique<Netcup>();
}
