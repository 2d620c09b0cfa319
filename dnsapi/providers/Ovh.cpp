// OVHcloud's API 1.0 (eu.api.ovh.com/console, the /domain/zone routes): the records of a name and type listed as ids,
// each read by its id, created with POST, changed with PUT, then the zone refreshed so that the change is served.
// Each request carries the application key and the consumer key and is signed: "$1$" and the SHA-1 of the
// application secret, the consumer key, the method, the URL, the body and the server's time, joined by "+".
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QCryptographicHash>
#include <QJsonArray>

namespace {
const QString Time = QStringLiteral("/auth/time");
const QString Ids = QStringLiteral("ids");         // session.state: the ids of the list still to read
const QString Written = QStringLiteral("written"); // session.state: a write was done, so the zone is refreshed

QString zonePath(const DnsSession& session)
{
    return QStringLiteral("/domain/zone/%1").arg(session.entry.zone);
}

/// The name within the zone as OVHcloud has it: "" for the zone itself.
QString subDomain(const DnsTarget& target)
{
    return target.relative == QLatin1String("@") ? QString() : target.relative;
}

class Ovh : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        request.setHeader("X-Ovh-Application", session.field(QStringLiteral("applicationKey")).toUtf8());
        if (request.path == Time)
            return;
        const QByteArray consumer = session.secret(QStringLiteral("consumerKey")).toUtf8();
        const QByteArray time = QByteArray::number(QDateTime::currentSecsSinceEpoch() + session.clockSkewSeconds);
        const QByteArray text = session.secret(QStringLiteral("applicationSecret")).toUtf8() + '+' + consumer + '+' +
                                request.method + '+' + requestUrl(session, request).toEncoded() + '+' + request.body +
                                '+' + time;
        request.setHeader("X-Ovh-Consumer", consumer);
        request.setHeader("X-Ovh-Timestamp", time);
        request.setHeader("X-Ovh-Signature", "$1$" + QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex());
    }

    std::optional<ApiRequest> login(const DnsSession& session) const override
    {
        // The server's clock, since the signature holds a time it checks.
        if (session.state.contains(Time))
            return std::nullopt;
        return ApiRequest{"GET", Time};
    }

    ReadResult readLogin(DnsSession& session, const ApiReply& reply) const override
    {
        const qint64 time = reply.body.trimmed().toLongLong();
        if (time <= 0)
            return ReadResult::fail(QStringLiteral("the API's time was not a number"));
        session.clockSkewSeconds = time - QDateTime::currentSecsSinceEpoch();
        session.state.insert(Time, QString::number(time));
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString& page) const override
    {
        // The list gives ids only: each is a "page" of its own, read by its id.
        if (!page.isEmpty())
            return {"GET", zonePath(session) + QStringLiteral("/record/") + page};
        ApiRequest request{"GET", zonePath(session) + QStringLiteral("/record")};
        request.query.addQueryItem(QStringLiteral("fieldType"), target.type);
        request.query.addQueryItem(QStringLiteral("subDomain"), subDomain(target));
        return request;
    }

    ReadResult readList(DnsSession& session, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString& next) const override
    {
        const QJsonDocument answer = ApiText::json(reply.body);
        QStringList ids = session.state.value(Ids).split(u' ', Qt::SkipEmptyParts);
        if (answer.isArray()) {
            ids.clear();
            for (const QJsonValue& value : answer.array()) {
                ids << ApiText::id(value);
                if (ids.last().isEmpty())
                    return ReadResult::fail(QStringLiteral("the record list has no usable id"));
            }
        } else if (answer.isObject()) {
            // {"id", "zone", "subDomain", "fieldType", "target", "ttl"}
            const QJsonObject record = answer.object();
            records.append({ApiText::id(record.value(u"id")),
                            ApiText::absolute(ApiText::shown(record.value(u"subDomain")), session.entry.zone),
                            ApiText::shown(record.value(u"fieldType")),
                            ApiText::shown(record.value(u"target")),
                            record.value(u"ttl").toInt(),
                            {}});
            if (records.last().id.isEmpty())
                return ReadResult::fail(QStringLiteral("the record's answer has no usable id"));
        } else {
            return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
        }
        next = ids.isEmpty() ? QString() : ids.takeFirst();
        session.state.insert(Ids, ids.join(u' '));
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        QJsonObject body{{QStringLiteral("fieldType"), target.type},
                         {QStringLiteral("subDomain"), subDomain(target)},
                         {QStringLiteral("target"), target.address}};
        if (target.ttl > 0)
            body.insert(QStringLiteral("ttl"), target.ttl);
        return {"POST", zonePath(session) + QStringLiteral("/record"), json(body)};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return {"PUT", zonePath(session) + QStringLiteral("/record/") + record.id,
                json({{QStringLiteral("target"), target.address}})};
    }

    ReadResult readWrite(DnsSession& session, const DnsTarget&, const ApiReply&) const override
    {
        session.state.insert(Written, QStringLiteral("1"));
        return {};
    }

    std::optional<ApiRequest> logout(const DnsSession& session) const override
    {
        if (!session.state.contains(Written))
            return std::nullopt;
        return ApiRequest{"POST", zonePath(session) + QStringLiteral("/refresh")};
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeOvh()
{
    return std::make_unique<Ovh>();
}
