// Route 53's API 2013-04-01 (docs.aws.amazon.com/Route53/latest/APIReference): the hosted zone found by name
// (ListHostedZonesByName) unless its id is given, a record set read with ListResourceRecordSets from its name and
// type, written whole with a ChangeResourceRecordSets UPSERT; XML both ways; every request signed with AWS's
// Signature Version 4 (region us-east-1, service route53) from the access key id and the secret access key.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"
#include "dnsapi/AwsSignature.h"

namespace {
const QString Version = QStringLiteral("/2013-04-01");

/// The parts of @p xml between <@p element> and its end, each as it stands (at most ApiText::MaxRecords).
QByteArrayList elements(const QByteArray& xml, const QByteArray& element)
{
    QByteArrayList found;
    const QByteArray open = '<' + element + '>', close = "</" + element + '>';
    for (qsizetype at = xml.indexOf(open); at >= 0 && found.size() < ApiText::MaxRecords; at = xml.indexOf(open, at)) {
        const qsizetype end = xml.indexOf(close, at);
        if (end < 0)
            break;
        found << xml.mid(at + open.size(), end - at - open.size());
        at = end;
    }
    return found;
}

QString zoneId(const DnsSession& session)
{
    return session.zoneId.isEmpty() ? session.field(QStringLiteral("hostedZoneId")) : session.zoneId;
}

class Route53 : public DnsProvider
{
public:
    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        const AwsSignature::Credentials credentials{session.field(QStringLiteral("accessKeyId")).toUtf8(),
                                                    session.secret(QStringLiteral("secretAccessKey")).toUtf8(),
                                                    "us-east-1", "route53"};
        request.setHeader("X-Amz-Date", AwsSignature::amzDate(session.now));
        request.setHeader("Authorization",
                          AwsSignature::authorization(credentials, request.method, requestUrl(session, request),
                                                      request.body, session.now));
    }

    std::optional<ApiRequest> findZone(const DnsSession& session) const override
    {
        if (!session.field(QStringLiteral("hostedZoneId")).isEmpty())
            return std::nullopt;
        ApiRequest request{"GET", Version + QStringLiteral("/hostedzonesbyname")};
        request.query.addQueryItem(QStringLiteral("dnsname"), session.entry.zone);
        request.query.addQueryItem(QStringLiteral("maxitems"), QStringLiteral("1"));
        return request;
    }

    ReadResult readZone(DnsSession& session, const ApiReply& reply) const override
    {
        // The zones come in order from the name asked: the first is the zone only when it has that name.
        const QByteArray zone = elements(reply.body, "HostedZone").value(0);
        if (ApiText::name(ApiText::xmlElement(zone, "Name")) == session.entry.zone)
            session.zoneId = ApiText::id(ApiText::xmlElement(zone, "Id").section(u'/', -1));
        if (session.zoneId.isEmpty())
            return ReadResult::fail(
                QStringLiteral("hosted zone %1 not found (or the key may not list it)").arg(session.entry.zone),
                NotificationResult::Category::Configuration);
        return {};
    }

    ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString& page) const override
    {
        // The sets are listed in order from the name and type given; the first is the target's when it exists.
        ApiRequest request{"GET", Version + QStringLiteral("/hostedzone/%1/rrset").arg(zoneId(session))};
        request.query.addQueryItem(QStringLiteral("name"), target.name + u'.');
        request.query.addQueryItem(QStringLiteral("type"), target.type);
        if (!page.isEmpty())
            request.query.addQueryItem(QStringLiteral("identifier"), page);
        request.query.addQueryItem(QStringLiteral("maxitems"), QStringLiteral("1"));
        return request;
    }

    ReadResult readList(DnsSession&, const DnsTarget& target, const ApiReply& reply, QList<DnsRecord>& records,
                        QString& next) const override
    {
        for (const QByteArray& set : elements(reply.body, "ResourceRecordSet")) {
            const QString name = ApiText::name(ApiText::xmlElement(set, "Name"));
            const QString type = ApiText::xmlElement(set, "Type");
            const int ttl = ApiText::xmlElement(set, "TTL").toInt();
            // One record per value: a set of two addresses is two records to the engine.
            for (const QByteArray& value : elements(set, "Value")) {
                if (records.size() >= ApiText::MaxRecords)
                    break;
                records.append({{}, name, type, ApiText::xmlElement("<v>" + value + "</v>", "v"), ttl, {}});
            }
        }
        // Only more sets of the same name and type (with routing policies) are worth another page.
        if (ApiText::xmlElement(reply.body, "IsTruncated") == QLatin1String("true") &&
            ApiText::name(ApiText::xmlElement(reply.body, "NextRecordName")) == target.name &&
            ApiText::xmlElement(reply.body, "NextRecordType") == target.type)
            next = ApiText::id(ApiText::xmlElement(reply.body, "NextRecordIdentifier"));
        return {};
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        return upsert(session, target, target.ttl > 0 ? target.ttl : 300);
    }

    ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const override
    {
        // An UPSERT replaces the whole set: its TTL is sent as it was.
        return upsert(session, target, record.ttl > 0 ? record.ttl : 300);
    }

    NotificationResult::Category category(const ApiReply& reply, NotificationResult::Category usual) const override
    {
        // Throttling comes back as 400 with an error code, and without Retry-After.
        const QString code = ApiText::xmlElement(reply.body, "Code");
        const bool throttled = code == QLatin1String("Throttling") || code == QLatin1String("PriorRequestNotComplete");
        return reply.status == 400 && throttled ? NotificationResult::Category::RateLimited : usual;
    }

    QString errorText(const ApiReply& reply) const override
    {
        // <ErrorResponse><Error><Type>Sender</Type><Code>...</Code><Message>...</Message></Error>...
        const QString code = ApiText::xmlElement(reply.body, "Code");
        const QString message = ApiText::xmlElement(reply.body, "Message");
        return code.isEmpty() ? message : QStringLiteral("%1: %2").arg(code, message);
    }

private:
    static ApiRequest upsert(const DnsSession& session, const DnsTarget& target, int ttl)
    {
        const QString body =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<ChangeResourceRecordSetsRequest xmlns=\"https://route53.amazonaws.com/doc/2013-04-01/\">"
                           "<ChangeBatch><Changes><Change><Action>UPSERT</Action><ResourceRecordSet>"
                           "<Name>%1.</Name><Type>%2</Type><TTL>%3</TTL><ResourceRecords><ResourceRecord>"
                           "<Value>%4</Value></ResourceRecord></ResourceRecords></ResourceRecordSet></Change>"
                           "</Changes></ChangeBatch></ChangeResourceRecordSetsRequest>")
                .arg(ApiText::xmlEscaped(target.name), target.type)
                .arg(ttl)
                .arg(ApiText::xmlEscaped(target.address));
        ApiRequest request{"POST", Version + QStringLiteral("/hostedzone/%1/rrset/").arg(zoneId(session)),
                           body.toUtf8()};
        request.contentType = "application/xml";
        return request;
    }
};
} // namespace

std::unique_ptr<DnsProvider> makeRoute53()
{
    return std::make_unique<Route53>();
}
