#pragma once

#include "core/NotificationResult.h"
#include "dnsapi/DnsHostEntry.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <optional>
#include <utility>

/// One request to a DNS host's API, as a provider describes it; the engine sends it within the update's deadline.
struct ApiRequest
{
    ApiRequest() = default;
    ApiRequest(QByteArray verb, QString apiPath, QByteArray content = {})
        : method(std::move(verb)), path(std::move(apiPath)), body(std::move(content))
    {
    }

    QByteArray method = "GET";
    QString path;     ///< appended to the API address ("/zones"); see url
    QUrlQuery query;
    QUrl url;         ///< where the request goes when not to the API address (a token endpoint); else empty
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QByteArray contentType; ///< of the body; "application/json" when there is a body and this is empty

    void setHeader(const QByteArray& name, const QByteArray& value) { headers.append({name, value}); }
};

/// What came back: an HTTP status and a body of at most DnsHosts::MaxBodyBytes.
struct ApiReply
{
    int status = 0;
    QByteArray body;
};

/// One record of the name and type asked, as the host keeps it.
struct DnsRecord
{
    QString id;      ///< the host's id of it, where it has one; only letters, digits, "-", "_", "." and ":"
    QString name;    ///< fully qualified, without the final dot, in lower case
    QString type;    ///< A, AAAA, or another type the host listed with it
    QString content; ///< the address it holds
    int ttl = 0;
    QJsonObject raw; ///< the host's own fields of it, for a provider that sends them back as they were
};

/// One record an update asks for: a name of the entry, one type, the address it should hold.
struct DnsTarget
{
    QString name;     ///< fully qualified, without the final dot, in lower case
    QString relative; ///< the name within the zone: "home", or "@" for the zone itself
    QString type;     ///< A or AAAA
    QString address;
    int ttl = 0;      ///< 0: the host's default
    QJsonObject flags; ///< the name's provider flags ("proxied" ...), as the entry keeps them
};

/// How a provider read an answer: well, or a failure with its text (no "Error:" and no name: the engine adds
/// them) and what kind of failure it is.
struct ReadResult
{
    QString failure; ///< empty: the answer said what the engine asked
    NotificationResult::Category category = NotificationResult::Category::Transient;

    bool ok() const { return failure.isEmpty(); }
    static ReadResult fail(QString text,
                           NotificationResult::Category category = NotificationResult::Category::Transient)
    {
        return {std::move(text), category};
    }
};

/// The state of one update that the provider's steps read and write: the entry as stored, its secret, and what the
/// steps before learnt (a zone's id, a session, an access token, the server's clock).
struct DnsSession
{
    DnsHostEntry entry;
    QUrl api;                        ///< the API address: the entry's, else the provider's
    QHash<QString, QString> secrets; ///< the entry's secret fields by name (see DnsProviderInfo::secrets)
    QString zoneId;                  ///< what findZone() learnt
    QString token;                   ///< a session or access token that login() got
    QHash<QString, QString> state;   ///< anything else a provider keeps between its steps
    QList<DnsTarget> targets;        ///< every record the update asks for, in their order
    QDateTime now;                   ///< when the update began (UTC); signatures use it
    qint64 clockSkewSeconds = 0;     ///< the server's clock minus ours, where login() asked it

    QString secret(const QString& name = QStringLiteral("token")) const { return secrets.value(name); }
    QString field(const QString& name) const { return entry.fields.value(name); }
};

/// Where @p request goes: its url, else the API address with its path appended and its query.
QUrl requestUrl(const DnsSession& session, const ApiRequest& request);

/// How to talk to one DNS host's API: how to authenticate, where its records are read and how they are written.
/// The engine (DnsHostUpdate) does the rest once for all: it compares, writes only a record that holds another
/// address, creates a missing one, refuses to choose between two of one type, keeps to the deadline, masks the
/// secrets and classifies HTTP failures. A provider is one small file and a row in DnsProviders.
class DnsProvider
{
public:
    virtual ~DnsProvider() = default;

    /// Adds the credentials to @p request: by default "Authorization: Bearer <token>".
    virtual void authenticate(const DnsSession& session, ApiRequest& request) const;

    /// A step before the first read (a session, an access token, the server's clock); none by default. Asked again
    /// after each read of it until it returns nothing, so a provider may take several steps.
    virtual std::optional<ApiRequest> login(const DnsSession& session) const
    {
        (void)session;
        return std::nullopt;
    }
    virtual ReadResult readLogin(DnsSession& session, const ApiReply& reply) const;

    /// Finding the zone's id, where the API names a zone by one; none by default (the zone's name serves).
    virtual std::optional<ApiRequest> findZone(const DnsSession& session) const
    {
        (void)session;
        return std::nullopt;
    }
    virtual ReadResult readZone(DnsSession& session, const ApiReply& reply) const;

    /// Whether the records can be read. A service that only takes updates (the dynamic-DNS kind) cannot: each
    /// target is sent with create(), and only the remembered last update keeps a needless one from going out.
    virtual bool reads() const { return true; }
    /// Whether a 404 answer to list() means that the name has no record of the type (an API that reads one record
    /// set by its path) rather than a failure.
    virtual bool missingIs404() const { return false; }
    /// The request for the records of @p target's name and type; @p page is empty for the first page, else what the
    /// read of the page before gave as its next.
    virtual ApiRequest list(const DnsSession& session, const DnsTarget& target, const QString& page) const;
    /// The records in @p reply (others than of the target's name and type may be among them: the engine keeps
    /// only those), and @p next set when there is another page.
    virtual ReadResult readList(DnsSession& session, const DnsTarget& target, const ApiReply& reply,
                                QList<DnsRecord>& records, QString& next) const;

    /// A new record for @p target.
    virtual ApiRequest create(const DnsSession& session, const DnsTarget& target) const = 0;
    /// @p record changed to hold @p target's address; its other properties stay as they are.
    virtual ApiRequest change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const;
    /// Whether the write was done; by default any 2xx answer says it was.
    virtual ReadResult readWrite(DnsSession& session, const DnsTarget& target, const ApiReply& reply) const;

    /// A step after the last write (a session ended); none by default. Its answer is not read.
    virtual std::optional<ApiRequest> logout(const DnsSession& session) const
    {
        (void)session;
        return std::nullopt;
    }

    /// What a failed answer (any status but 2xx) says of itself, for the status line; by default the first of the
    /// JSON fields message, error, detail, errors[0].message, errors[0].detail that holds a text.
    virtual QString errorText(const ApiReply& reply) const;
    /// What kind of failure a failed answer is, where the host says it otherwise than by the usual status (a refused
    /// key, or too many requests, answered with 400); by default @p usual, what the engine made of the status. The
    /// status line's text follows the kind.
    virtual NotificationResult::Category category(const ApiReply& reply, NotificationResult::Category usual) const
    {
        (void)reply;
        return usual;
    }
};
