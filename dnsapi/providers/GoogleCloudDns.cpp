// Google Cloud DNS API v1 (cloud.google.com/dns/docs/reference/rest/v1): an access token for a service account (its
// key file's JWT, signed RS256, exchanged at the key's token URI), then the record set of a name and type listed
// from the managed zone, created with POST and changed with PATCH (its TTL sent as it was).
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"
#include "dnsapi/ServiceAccountToken.h"

#include <QJsonArray>

#include <algorithm>

namespace {
const QString Scope = QStringLiteral("https://www.googleapis.com/auth/ndev.clouddns.readwrite");

QString rrsets(const DnsSession& session)
{
    return QStringLiteral("/projects/%1/managedZones/%2/rrsets")
        .arg(session.field(QStringLiteral("projectId")), session.field(QStringLiteral("managedZone")));
}

QJsonObject recordSet(const DnsTarget& target, int ttl)
{
    return {{QStringLiteral("name"), target.name + u'.'},
            {QStringLiteral("type"), target.type},
            {QStringLiteral("ttl"), ttl > 0 ? ttl : 300},
            {QStringLiteral("rrdatas"), QJsonArray{target.address}}};
}

class GoogleCloudDns : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        if (!session.token.isEmpty())
            request.setHeader("Authorization", "Bearer " + session.token.toUtf8());
    }

    std::optional<ApiRequest> login(const DnsSession& session) const override
    {
        // A key that cannot be read or cannot sign asks nothing: the API then refuses the requests without a token.
        const std::optional<ServiceAccountToken::Key> key =
            ServiceAccountToken::read(session.secret(QStringLiteral("key")));
        if (!session.token.isEmpty() || !key)
            return std::nullopt;
        const QByteArray assertion = ServiceAccountToken::assertion(*key, Scope, session.now);
        if (assertion.isEmpty())
            return std::nullopt;
        ApiRequest request{"POST", {}, ServiceAccountToken::requestBody(assertion)};
        request.url = key->tokenUri;
        request.contentType = "application/x-www-form-urlencoded";
        return request;
    }

    ReadResult readLogin(DnsSession& session, const ApiReply& reply) const override
    {
        // {"access_token": "...", "expires_in": 3599, "token_type": "Bearer"}
        session.token = ApiText::json(reply.body).object().value(u"access_token").toString();
        if (session.token.isEmpty())
            return ReadResult::fail(QStringLiteral("the token answer held no access token"),
                                    NotificationResult::Category::Authentication);
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString& page) const override
    {
        ApiRequest request{"GET", rrsets(session)};
        request.query.addQueryItem(QStringLiteral("name"), target.name + u'.');
        request.query.addQueryItem(QStringLiteral("type"), target.type);
        if (!page.isEmpty())
            request.query.addQueryItem(QStringLiteral("pageToken"), page);
        return request;
    }

    ReadResult readList(DnsSession&, const DnsTarget&, const ApiReply& reply, QList<DnsRecord>& records,
                        QString& next) const override
    {
        // {"rrsets": [{"name": "home.example.com.", "type": "A", "ttl": 300, "rrdatas": ["..."]}], "nextPageToken"}
        const QJsonObject answer = ApiText::json(reply.body).object();
        if (answer.isEmpty())
            return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
        for (const QJsonValue& value : answer.value(u"rrsets").toArray()) {
            const QJsonObject set = value.toObject();
            for (const QJsonValue& data : set.value(u"rrdatas").toArray()) {
                if (records.size() >= ApiText::MaxRecords)
                    break;
                records.append({{},
                                ApiText::name(ApiText::shown(set.value(u"name"))),
                                ApiText::shown(set.value(u"type")),
                                ApiText::shown(data),
                                set.value(u"ttl").toInt(),
                                {}});
            }
        }
        // An opaque token: taken when it is a bounded run of printable ASCII (it goes into the next query).
        const QString token = answer.value(u"nextPageToken").toString();
        if (token.size() <= 1024 &&
            std::all_of(token.cbegin(), token.cend(), [](QChar c) { return c > u' ' && c < u'\x7f'; }))
            next = token;
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        return {"POST", rrsets(session), json(recordSet(target, target.ttl))};
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        return {"PATCH", rrsets(session) + QStringLiteral("/%1./%2").arg(target.name, target.type),
                json(recordSet(target, record.ttl))};
    }

    QString errorText(const ApiReply& reply) const override
    {
        // The token endpoint's {"error": "invalid_grant", "error_description": "..."}, else the API's
        // {"error": {"code": 401, "message": "...", "status": "UNAUTHENTICATED"}}.
        const QString description = ApiText::shown(ApiText::json(reply.body).object().value(u"error_description"));
        return description.isEmpty() ? DnsProvider::errorText(reply) : description;
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeGoogleCloudDns()
{
    return std::make_unique<GoogleCloudDns>();
}
