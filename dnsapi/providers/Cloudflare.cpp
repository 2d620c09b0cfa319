// Cloudflare's API v4 (developers.cloudflare.com/api): a zone by its id, found by name; records listed by name and
// type, created with POST and changed with PATCH (the content only: TTL and proxy stay); a bearer token.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {
/// {"success": bool, "errors": [{"code": n, "message": "..."}], "result": ..., "result_info": {...}}
QString errorsOf(const QJsonObject& answer)
{
    QStringList parts;
    const QJsonArray errors = answer.value(QLatin1String("errors")).toArray();
    for (qsizetype i = 0; i < errors.size() && i < 5; ++i) {
        const QJsonObject error = errors.at(i).toObject();
        const QString message = ApiText::shown(error.value(QLatin1String("message")));
        const QString code = ApiText::shown(error.value(QLatin1String("code")));
        parts << (code.isEmpty() ? message : QStringLiteral("code %1: %2").arg(code, message));
    }
    return parts.join(QLatin1String("; "));
}

/// The answer's object when it says success; else a failure naming its errors.
ReadResult successOf(const ApiReply& reply, QJsonObject& answer)
{
    answer = ApiText::json(reply.body).object();
    if (answer.isEmpty())
        return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
    if (!answer.value(QLatin1String("success")).toBool(false)) {
        const QString errors = errorsOf(answer);
        return ReadResult::fail(QStringLiteral("the API did not carry out the request") +
                                (errors.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(errors)));
    }
    return {};
}

class Cloudflare : public DnsProvider
{
public:
    std::optional<ApiRequest> findZone(const DnsSession& session) const override
    {
        ApiRequest request{"GET", QStringLiteral("/zones")};
        request.query.addQueryItem(QStringLiteral("name"), session.entry.zone);
        return request;
    }

    ReadResult readZone(DnsSession& session, const ApiReply& reply) const override
    {
        QJsonObject answer;
        if (ReadResult read = successOf(reply, answer); !read.ok())
            return read;
        session.zoneId = ApiText::id(answer.value(QLatin1String("result")).toArray().first().toObject().value(u"id"));
        if (session.zoneId.isEmpty())
            return ReadResult::fail(
                QStringLiteral("zone %1 not found (or the token may not read it)").arg(session.entry.zone),
                NotificationResult::Category::Configuration);
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString& page) const override
    {
        ApiRequest request{"GET", QStringLiteral("/zones/%1/dns_records").arg(session.zoneId)};
        request.query.addQueryItem(QStringLiteral("type"), target.type);
        request.query.addQueryItem(QStringLiteral("name"), target.name);
        if (!page.isEmpty())
            request.query.addQueryItem(QStringLiteral("page"), page);
        return request;
    }

    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString& next) const override
    {
        QJsonObject answer;
        if (ReadResult read = successOf(reply, answer); !read.ok())
            return read;
        if (ReadResult read = readRecords(answer.value(u"result"), RecordShape{"content"}, session.entry.zone, records);
            !read.ok())
            return read;
        const QJsonObject info = answer.value(QLatin1String("result_info")).toObject();
        const int page = info.value(u"page").toInt(1);
        if (page < info.value(u"total_pages").toInt(1))
            next = QString::number(page + 1);
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        const QJsonObject body{{QStringLiteral("type"), target.type},
                               {QStringLiteral("name"), target.name},
                               {QStringLiteral("content"), target.address},
                               {QStringLiteral("ttl"), target.ttl > 0 ? target.ttl : 1}, // 1: "automatic"
                               {QStringLiteral("proxied"), target.flags.value(u"proxied").toBool(false)}};
        return {"POST", QStringLiteral("/zones/%1/dns_records").arg(session.zoneId), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return {"PATCH", QStringLiteral("/zones/%1/dns_records/%2").arg(session.zoneId, record.id),
                json({{QStringLiteral("content"), target.address}})};
    }

    ReadResult readWrite(DnsSession&, const DnsTarget&, const ApiReply& reply) const override
    {
        QJsonObject answer;
        return successOf(reply, answer);
    }

    QString errorText(const ApiReply& reply) const override
    {
        return errorsOf(ApiText::json(reply.body).object());
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeCloudflare()
{
    return std::make_unique<Cloudflare>();
}
