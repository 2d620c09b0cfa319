// The dynamic-DNS services that only take updates: one GET per name and type with the address in its query, and
// nothing to read first (reads() is false: the engine's memory of the last success keeps needless updates back).
// Each service is a preset of the table below: the path, the query's items for the name, the zone, the address and
// the secret, how the request authenticates (HTTP Basic with user:password as the dyndns2 services take it, or the
// secret in the query) and how its answer reads. A and AAAA go as two requests even where one could carry both,
// except to a service that clears the address a request leaves out: each of its requests carries both.
#include "dnsapi/providers/Providers.h"

#include "dnsapi/ApiText.h"
#include "notify/DynDnsAnswer.h"

#include <QHostAddress>

#include <string_view>

namespace {
using Category = NotificationResult::Category;

enum class Auth
{
    Basic,       // HTTP Basic with the field "user" and the secret "password"
    BasicAsHost, // HTTP Basic with the name updated as the user and the secret "password" (a per-record key)
    Query,       // the secret as the query item Preset::secretItem
};

enum class Answer
{
    DynDns2,  // a line of good, nochg or an error word
    OkKo,     // OK or KO
    Json,     // {"status": 200, "message": "..."}
    Status,   // the HTTP status alone: any 2xx is done
    ErrCount, // <interface-response> with <ErrCount> and <errors><Err1>...
};

enum class Name
{
    Full,     // home.example.com
    Relative, // home, or @ for the zone itself (the zone goes apart)
    Sub,      // home, for home.duckdns.org: the service's own domain left off
};

struct Preset
{
    const char* id;
    const char* path;
    const char* nameItem;
    Name name;
    const char* zoneItem; // nullptr: the zone is not sent apart
    const char* v4Item;
    const char* v6Item;
    Auth auth;
    const char* secretItem; // Auth::Query: the query item of the secret
    Answer answer;
    Category abuse = Category::Authentication; // what "abuse" means here: an account blocked, or updates too often
    bool together = false; // a name's addresses in one request: the service clears the one a request leaves out
};

// clang-format off
constexpr Preset Presets[] = {
    {"noip",       "/nic/update", "hostname", Name::Full,     nullptr,  "myip", "myip",   Auth::Basic,       nullptr,    Answer::DynDns2},
    {"freedns",    "/nic/update", "hostname", Name::Full,     nullptr,  "myip", "myip",   Auth::Basic,       nullptr,    Answer::DynDns2},
    {"he",         "/nic/update", "hostname", Name::Full,     nullptr,  "myip", "myip",   Auth::BasicAsHost, nullptr,    Answer::DynDns2},
    {"strato",     "/nic/update", "hostname", Name::Full,     nullptr,  "myip", "myip",   Auth::Basic,       nullptr,    Answer::DynDns2, Category::RateLimited},
    {"inwx",       "/nic/update", "hostname", Name::Full,     nullptr,  "myip", "myipv6", Auth::Basic,       nullptr,    Answer::DynDns2, Category::Authentication, true},
    {"infomaniak", "/nic/update", "hostname", Name::Full,     nullptr,  "myip", "myip",   Auth::Basic,       nullptr,    Answer::DynDns2},
    {"njalla",     "/update/",    "h",        Name::Full,     nullptr,  "a",    "aaaa",   Auth::Query,       "k",        Answer::Json},
    {"duckdns",    "/update",     "domains",  Name::Sub,      nullptr,  "ip",   "ipv6",   Auth::Query,       "token",    Answer::OkKo},
    {"dynv6",      "/api/update", "zone",     Name::Full,     nullptr,  "ipv4", "ipv6",   Auth::Query,       "token",    Answer::Status},
    {"namecheap",  "/update",     "host",     Name::Relative, "domain", "ip",   "ip",     Auth::Query,       "password", Answer::ErrCount},
};
// clang-format on

/// The first line of @p body as the status line may show it.
QString firstLine(const QByteArray& body)
{
    return ApiText::shown(QString::fromUtf8(body.left(512)).section(u'\n', 0, 0).trimmed());
}

class DynamicDns : public DnsProvider
{
public:
    explicit DynamicDns(const Preset& preset) : m_preset(preset) {}

    bool reads() const override { return false; }

    void authenticate(const DnsSession& session, ApiRequest& request) const override
    {
        if (m_preset.auth == Auth::Query)
            return;
        const QString user = m_preset.auth == Auth::BasicAsHost
                                 ? request.query.queryItemValue(QString::fromLatin1(m_preset.nameItem))
                                 : session.field(QStringLiteral("user"));
        const QString credentials = user + u':' + session.secret(QStringLiteral("password"));
        request.setHeader("Authorization", "Basic " + credentials.toUtf8().toBase64());
    }

    ApiRequest create(const DnsSession& session, const DnsTarget& target) const override
    {
        ApiRequest request{"GET", QString::fromLatin1(m_preset.path)};
        request.query.addQueryItem(QString::fromLatin1(m_preset.nameItem), name(target));
        if (m_preset.zoneItem)
            request.query.addQueryItem(QString::fromLatin1(m_preset.zoneItem), session.entry.zone);
        addAddress(request, target.address);
        for (const DnsTarget& other : session.targets) {
            if (m_preset.together && other.name == target.name) // its own address is in already
                addAddress(request, other.address);
        }
        if (m_preset.auth == Auth::Query) // the one secret field, whatever its name
            request.query.addQueryItem(QString::fromLatin1(m_preset.secretItem),
                                       session.secrets.isEmpty() ? QString() : *session.secrets.cbegin());
        return request;
    }

    ReadResult readWrite(DnsSession&, const DnsTarget&, const ApiReply& reply) const override
    {
        switch (m_preset.answer) {
        case Answer::DynDns2:
            return dyndns2(reply.body);
        case Answer::OkKo:
            if (firstLine(reply.body) == QLatin1String("OK"))
                return {};
            if (firstLine(reply.body) == QLatin1String("KO"))
                return ReadResult::fail(QStringLiteral("the service refused the token or the name (KO)"),
                                        Category::Authentication);
            return ReadResult::fail(QStringLiteral("unexpected answer: %1").arg(firstLine(reply.body)));
        case Answer::Json:
            return json(reply.body);
        case Answer::Status:
            return {};
        case Answer::ErrCount:
            return errCount(reply.body);
        }
        return {};
    }

    QString errorText(const ApiReply& reply) const override
    {
        const DynDnsAnswer answer = DynDnsAnswer::read(reply.body);
        if (answer.kind == DynDnsAnswer::Kind::Error)
            return QStringLiteral("%1: %2").arg(answer.word, answer.explanation);
        if (const QString err = ApiText::xmlElement(reply.body, "Err1"); !err.isEmpty())
            return err;
        const QString text = DnsProvider::errorText(reply);
        return text.isEmpty() && !reply.body.startsWith('<') ? firstLine(reply.body) : text;
    }

private:
    void addAddress(ApiRequest& request, const QString& address) const
    {
        const bool v6 = QHostAddress(address).protocol() == QAbstractSocket::IPv6Protocol;
        const QString item = QString::fromLatin1(v6 ? m_preset.v6Item : m_preset.v4Item);
        if (!request.query.hasQueryItem(item))
            request.query.addQueryItem(item, address);
    }

    QString name(const DnsTarget& target) const
    {
        if (m_preset.name == Name::Relative)
            return target.relative;
        if (m_preset.name == Name::Sub && target.name.endsWith(QLatin1String(".duckdns.org")))
            return target.name.chopped(12);
        return target.name;
    }

    ReadResult dyndns2(const QByteArray& body) const
    {
        const DynDnsAnswer answer = DynDnsAnswer::read(body);
        if (answer.kind == DynDnsAnswer::Kind::Success)
            return {};
        if (answer.kind == DynDnsAnswer::Kind::Plain)
            return ReadResult::fail(QStringLiteral("unexpected answer: %1").arg(firstLine(body)));
        const QString& word = answer.word;
        Category category = Category::Configuration; // !donator, notfqdn, nohost, numhost, badagent
        if (word == QLatin1String("badauth"))
            category = Category::Authentication;
        else if (word == QLatin1String("abuse"))
            category = m_preset.abuse;
        else if (word == QLatin1String("dnserr") || word == QLatin1String("911"))
            category = Category::Transient;
        return ReadResult::fail(QStringLiteral("the service answered %1: %2").arg(answer.word, answer.explanation),
                                category);
    }

    /// {"status": 200, "message": "record updated", "value": {...}}; another status is the failure's.
    static ReadResult json(const QByteArray& body)
    {
        const QJsonObject answer = ApiText::json(body).object();
        const int status = answer.value(u"status").toInt();
        if (status == 200)
            return {};
        const QString message = ApiText::shown(answer.value(u"message"));
        if (answer.isEmpty())
            return ReadResult::fail(QStringLiteral("unexpected answer: %1").arg(firstLine(body)));
        const Category category = status == 401 || status == 403  ? Category::Authentication
                                  : status == 429                 ? Category::RateLimited
                                  : status >= 400 && status < 500 ? Category::Configuration
                                                                  : Category::Transient;
        return ReadResult::fail(QStringLiteral("the service answered %1: %2").arg(status).arg(message), category);
    }

    /// <interface-response>...<ErrCount>0</ErrCount>...</interface-response>; each error in <errors><Err1>...
    static ReadResult errCount(const QByteArray& body)
    {
        const QString count = ApiText::xmlElement(body, "ErrCount");
        if (count == QLatin1String("0"))
            return {};
        if (count.isEmpty())
            return ReadResult::fail(QStringLiteral("unexpected answer: %1").arg(firstLine(body)));
        const QString error = ApiText::xmlElement(body, "Err1");
        return ReadResult::fail(QStringLiteral("the service answered: %1").arg(error),
                                error.contains(QLatin1String("password"), Qt::CaseInsensitive)
                                    ? Category::Authentication
                                    : Category::Configuration);
    }

    const Preset& m_preset;
};
} // namespace

std::unique_ptr<DnsProvider> makeDynamicDns(std::string_view id)
{
    for (const Preset& preset : Presets) {
        if (id == preset.id)
            return std::make_unique<DynamicDns>(preset);
    }
    return nullptr;
}
