// Azure DNS through Azure Resource Manager, API version 2018-05-01 (learn.microsoft.com/rest/api/dns/record-sets):
// an access token from Microsoft Entra ID for an app registration (client credentials: tenant, client id and
// secret), then the record set of a name and type read at its own path (404: none), created with PUT and changed
// with PATCH of its records alone (TTL and metadata stay).
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"

#include <QHostAddress>
#include <QJsonArray>

namespace {
const QString Version = QStringLiteral("2018-05-01");

/// "ARecords" / "ipv4Address", or "AAAARecords" / "ipv6Address".
std::pair<QString, QString> recordsKey(const QString& type)
{
    return type == QLatin1String("AAAA") ? std::pair{QStringLiteral("AAAARecords"), QStringLiteral("ipv6Address")}
                                         : std::pair{QStringLiteral("ARecords"), QStringLiteral("ipv4Address")};
}

QJsonArray records(const DnsTarget& target)
{
    return {QJsonObject{{recordsKey(target.type).second, target.address}}};
}

class Azure : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        if (!session.token.isEmpty())
            request.setHeader("Authorization", "Bearer " + session.token.toUtf8());
    }

    std::optional<ApiRequest> login(const DnsSession& session) const override
    {
        if (!session.token.isEmpty())
            return std::nullopt;
        // The token is for the API the entry talks to: "https://management.azure.com/.default".
        QUrl api = session.api.adjusted(QUrl::RemovePath | QUrl::RemoveQuery);
        // Another sign-in address (a national cloud's) gets the secret only over https, or on this machine.
        QString authority = session.field(QStringLiteral("authority"));
        const QUrl given(authority);
        if (!(given.scheme() == QLatin1String("https") ||
              (given.scheme() == QLatin1String("http") && QHostAddress(given.host()).isLoopback())))
            authority = QStringLiteral("https://login.microsoftonline.com");
        while (authority.endsWith(u'/'))
            authority.chop(1);
        ApiRequest request{"POST",
                           {},
                           form({{"grant_type", QStringLiteral("client_credentials")},
                                 {"client_id", session.field(QStringLiteral("clientId"))},
                                 {"client_secret", session.secret(QStringLiteral("clientSecret"))},
                                 {"scope", api.toString() + QStringLiteral("/.default")}})};
        request.url =
            QUrl(authority +
                 QStringLiteral("/%1/oauth2/v2.0/token")
                     .arg(QString::fromLatin1(QUrl::toPercentEncoding(session.field(QStringLiteral("tenantId"))))));
        request.contentType = "application/x-www-form-urlencoded";
        return request;
    }

    ReadResult readLogin(DnsSession& session, const ApiReply& reply) const override
    {
        // {"token_type": "Bearer", "expires_in": 3599, "access_token": "..."}
        session.token = ApiText::json(reply.body).object().value(u"access_token").toString();
        if (session.token.isEmpty())
            return ReadResult::fail(QStringLiteral("the sign-in answer held no access token"),
                                    NotificationResult::Category::Authentication);
        return {};
    }

    bool missingIs404() const override { return true; }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString&) const override
    {
        return withVersion({"GET", path(session, target)});
    }

    ReadResult readList(DnsSession& session, const DnsTarget& target, const ApiReply& reply, QList<DnsRecord>& records,
                        QString&) const override
    {
        // {"name": "home", "etag": "...", "properties": {"fqdn": "home.example.com.", "TTL": 3600,
        //  "ARecords": [{"ipv4Address": "..."}]}}
        const QJsonObject properties = ApiText::json(reply.body).object().value(u"properties").toObject();
        if (properties.isEmpty())
            return ReadResult::fail(QStringLiteral("the answer was not the API's JSON"));
        const auto [key, field] = recordsKey(target.type);
        const QJsonArray values = properties.value(key).toArray();
        for (qsizetype i = 0; i < values.size() && i < ApiText::MaxRecords; ++i) {
            records.append({{},
                            ApiText::absolute(target.relative, session.entry.zone),
                            target.type,
                            ApiText::shown(values.at(i).toObject().value(field)),
                            properties.value(u"TTL").toInt(),
                            {}});
        }
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        const QJsonObject properties{{QStringLiteral("TTL"), target.ttl > 0 ? target.ttl : 3600},
                                     {recordsKey(target.type).first, records(target)}};
        ApiRequest request =
            withVersion({"PUT", path(session, target), json({{QStringLiteral("properties"), properties}})});
        request.setHeader("If-None-Match", "*"); // a set made meanwhile is not overwritten
        return request;
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord&) const override
    {
        const QJsonObject properties{{recordsKey(target.type).first, records(target)}};
        return withVersion({"PATCH", path(session, target), json({{QStringLiteral("properties"), properties}})});
    }

    QString errorText(const ApiReply& reply) const override
    {
        // The sign-in's {"error": "invalid_client", "error_description": "AADSTS7000215: ..."}, else ARM's
        // {"error": {"code": "...", "message": "..."}}.
        const QJsonObject answer = ApiText::json(reply.body).object();
        const QString description = ApiText::shown(answer.value(u"error_description"));
        return description.isEmpty() ? DnsProvider::errorText(reply) : description;
    }

private:
    static QString path(const DnsSession& session, const DnsTarget& target)
    {
        const auto part = [&](const char* field) { return session.field(QString::fromLatin1(field)); };
        return QStringLiteral("/subscriptions/%1/resourceGroups/%2/providers/Microsoft.Network/dnsZones/%3/%4/%5")
            .arg(part("subscriptionId"), part("resourceGroup"), session.entry.zone, target.type, target.relative);
    }

    static ApiRequest withVersion(ApiRequest request)
    {
        request.query.addQueryItem(QStringLiteral("api-version"), Version);
        return request;
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeAzure()
{
    return std::make_unique<Azure>();
}
