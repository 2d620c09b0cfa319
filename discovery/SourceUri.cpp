#include "discovery/SourceUri.h"

#include "discovery/DnsSource.h"
#include "discovery/HttpSource.h"
#include "discovery/StunSource.h"
#include "platform/DisplayedUrl.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

constexpr quint16 DefaultDnsPort = 53;
constexpr quint16 DefaultStunPort = 3478;

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

/// "HOST[:PORT]" or "[V6]:PORT" into its parts; false when the port is not 1..65535.
bool splitHostPort(const QString& text, QString* host, quint16* port, QString* error)
{
    QString rest;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(error, QStringLiteral("The address in brackets is not closed."));
        *host = text.mid(1, close - 1);
        rest = text.mid(close + 1);
    } else {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        *host = colon < 0 ? text : text.left(colon);
        rest = colon < 0 ? QString() : text.mid(colon);
    }
    if (host->isEmpty())
        return fail(error, QStringLiteral("The host is missing."));
    if (rest.isEmpty())
        return true;
    if (!rest.startsWith(QLatin1Char(':')))
        return fail(error, QStringLiteral("Unexpected text after the host: \"%1\".").arg(rest));
    bool ok = false;
    const uint value = rest.mid(1).toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return fail(error, QStringLiteral("The port \"%1\" is not a number from 1 to 65535.").arg(rest.mid(1)));
    *port = static_cast<quint16>(value);
    return true;
}

bool isHostName(const QString& host)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?"
                                                        "(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*\\.?$"));
    return host.size() <= 253 && name.match(host).hasMatch();
}

struct DnsParts
{
    QHostAddress server;
    quint16 port = DefaultDnsPort;
    DnsQuestion question;
};

/// dns://SERVER[:PORT]/NAME?type=…[;class=…] with SERVER an IP address.
bool parseDns(const QString& uri, DnsParts* out, QString* error)
{
    const QString rest = uri.mid(6); // after "dns://"
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return fail(error, QStringLiteral("A DNS source needs a name after the server: dns://SERVER/NAME."));
    QString host;
    if (!splitHostPort(rest.left(slash), &host, &out->port, error))
        return false;
    if (!out->server.setAddress(host))
        return fail(error, QStringLiteral("The DNS server \"%1\" must be an IP address.").arg(host));
    const QString path = rest.mid(slash + 1);
    const qsizetype question = path.indexOf(QLatin1Char('?'));
    const QString name = QUrl::fromPercentEncoding((question < 0 ? path : path.left(question)).toUtf8());
    if (name.isEmpty() || !isHostName(name))
        return fail(error, QStringLiteral("\"%1\" is not a DNS name.").arg(name));
    out->question.name = name.toLatin1();
    out->question.type = DnsQuestion::A;
    out->question.dnsClass = DnsQuestion::IN;
    if (question < 0)
        return true;
    static const QRegularExpression separators(QStringLiteral("[;&]"));
    for (const QString& pair : path.mid(question + 1).split(separators, Qt::SkipEmptyParts)) {
        const QString key = pair.section(QLatin1Char('='), 0, 0).toLower();
        const QString value = pair.section(QLatin1Char('='), 1).toUpper();
        if (key == QLatin1String("type")) {
            if (value == QLatin1String("A"))
                out->question.type = DnsQuestion::A;
            else if (value == QLatin1String("AAAA"))
                out->question.type = DnsQuestion::AAAA;
            else if (value == QLatin1String("TXT"))
                out->question.type = DnsQuestion::TXT;
            else
                return fail(error, QStringLiteral("The record type \"%1\" is not A, AAAA or TXT.").arg(value));
        } else if (key == QLatin1String("class")) {
            if (value == QLatin1String("IN"))
                out->question.dnsClass = DnsQuestion::IN;
            else if (value == QLatin1String("CH"))
                out->question.dnsClass = DnsQuestion::CH;
            else
                return fail(error, QStringLiteral("The class \"%1\" is not IN or CH.").arg(value));
        } else {
            return fail(error, QStringLiteral("Unknown DNS parameter \"%1\".").arg(key));
        }
    }
    return true;
}

/// stun:HOST[:PORT] (no "//", no path or query).
bool parseStun(const QString& uri, QString* host, quint16* port, QString* error)
{
    const QString rest = uri.mid(5); // after "stun:"
    if (rest.startsWith(QLatin1String("//")) || rest.contains(QLatin1Char('/')) || rest.contains(QLatin1Char('?')))
        return fail(error, QStringLiteral("A STUN source is stun:HOST or stun:HOST:PORT, without \"//\" or a path."));
    *port = DefaultStunPort;
    if (!splitHostPort(rest, host, port, error))
        return false;
    if (!QHostAddress(*host).isNull() || isHostName(*host))
        return true;
    return fail(error, QStringLiteral("\"%1\" is not a host name or IP address.").arg(*host));
}

bool parseHttp(const QString& uri, QUrl* url, QString* error)
{
    *url = QUrl(uri, QUrl::StrictMode);
    if (!url->isValid())
        return fail(error, QStringLiteral("Not a valid URL: %1").arg(url->errorString()));
    if (url->host().isEmpty())
        return fail(error, QStringLiteral("The URL has no host."));
    return true;
}

enum class Scheme
{
    Http,
    Dns,
    Stun,
    Unknown
};

Scheme schemeOf(const QString& uri)
{
    const QString lower = uri.left(8).toLower();
    if (lower.startsWith(QLatin1String("http://")) || lower.startsWith(QLatin1String("https://")))
        return Scheme::Http;
    if (lower.startsWith(QLatin1String("dns://")))
        return Scheme::Dns;
    if (lower.startsWith(QLatin1String("stun:")))
        return Scheme::Stun;
    return Scheme::Unknown;
}

std::unique_ptr<AddressSource> parse(const QString& text, QString* error, QObject* parent, bool make)
{
    const QString uri = text.trimmed();
    QString why;
    std::unique_ptr<AddressSource> source;
    bool ok = false;
    switch (schemeOf(uri)) {
    case Scheme::Http: {
        QUrl url;
        ok = parseHttp(uri, &url, &why);
        if (ok && make)
            source = std::make_unique<HttpSource>(url, uri, parent);
        break;
    }
    case Scheme::Dns: {
        DnsParts parts;
        ok = parseDns(uri, &parts, &why);
        if (ok && make)
            source = std::make_unique<DnsSource>(parts.server, parts.port, parts.question, uri, parent);
        break;
    }
    case Scheme::Stun: {
        QString host;
        quint16 port = DefaultStunPort;
        ok = parseStun(uri, &host, &port, &why);
        if (ok && make)
            source = std::make_unique<StunSource>(host, port, uri, parent);
        break;
    }
    case Scheme::Unknown:
        why = QStringLiteral("Only http://, https://, dns:// and stun: sources are known.");
        break;
    }
    if (!ok && error)
        *error = why;
    return source;
}

} // namespace

std::unique_ptr<AddressSource> makeAddressSource(const QString& uri, QString* error, QObject* parent)
{
    return parse(uri, error, parent, true);
}

bool checkSourceUri(const QString& uri, QString* error)
{
    QString why;
    parse(uri, &why, nullptr, false);
    if (!why.isEmpty() && error)
        *error = why;
    return why.isEmpty();
}

QString vendorAddressServiceUrl(const QString& website)
{
    return QStringLiteral("http://www.%1/extras/GetExternalIP.asp").arg(website);
}

QStringList defaultAddressSources()
{
    return {
        vendorAddressServiceUrl(QStringLiteral(VISTREL_WEBSITE_DOMAIN)),
        QStringLiteral("https://api.ipify.org"),
        QStringLiteral("https://ipv4.icanhazip.com"),
        QStringLiteral("https://checkip.amazonaws.com"),
        QStringLiteral("dns://208.67.222.222/myip.opendns.com?type=A"),
        QStringLiteral("dns://1.1.1.1/whoami.cloudflare?type=TXT;class=CH"),
        QStringLiteral("dns://216.239.32.10/o-o.myaddr.l.google.com?type=TXT"),
        QStringLiteral("stun:stun.cloudflare.com"),
    };
}

QStringList defaultAddress6Sources()
{
    return {
        QStringLiteral("https://api6.ipify.org"),
        QStringLiteral("https://ipv6.icanhazip.com"),
        QStringLiteral("dns://[2620:119:35::35]/myip.opendns.com?type=AAAA"),
        QStringLiteral("dns://[2606:4700:4700::1111]/whoami.cloudflare?type=TXT;class=CH"),
        QStringLiteral("dns://[2001:4860:4802:32::a]/o-o.myaddr.l.google.com?type=TXT"),
        QStringLiteral("stun:stun.cloudflare.com"),
    };
}

std::optional<QStringList> addressSourcesFromEnvironment()
{
    const QString list = QString::fromUtf8(qgetenv("VISTREL_ADDRESS_SOURCES")).trimmed();
    if (!list.isEmpty()) {
        static const QRegularExpression space(QStringLiteral("\\s+"));
        return list.split(space, Qt::SkipEmptyParts);
    }
    const QString url = QString::fromUtf8(qgetenv("VISTREL_ADDRESS_URL")).trimmed();
    if (!url.isEmpty())
        return QStringList{url};
    return std::nullopt;
}

QString displayedSourceUri(const QString& uri)
{
    return displayedUrl(uri.trimmed());
}

QString sourceServer(const QString& uri)
{
    const QString trimmed = uri.trimmed();
    if (schemeOf(trimmed) == Scheme::Stun)
        return trimmed.mid(5).toLower(); // stun:HOST[:PORT], nothing else
    const UrlTextParts parts = UrlTextParts::of(trimmed);
    if (parts.authorityBegin < 0)
        return trimmed.toLower();
    const qsizetype begin = parts.at < 0 ? parts.authorityBegin : parts.at + 1;
    return trimmed.mid(begin, parts.authorityEnd - begin).toLower();
}
