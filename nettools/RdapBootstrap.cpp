#include "nettools/RdapBootstrap.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

QStringList strings(const QJsonValue& value)
{
    QStringList result;
    for (const QJsonValue& item : value.toArray()) {
        if (item.isString())
            result << item.toString();
    }
    return result;
}

// How well @p entry matches @p query: -1 not at all, else the more the better.
int matchLength(const QString& entry, const RdapQuery& query)
{
    switch (query.type) {
    case RdapQuery::Type::Domain: {
        const QString suffix = entry.toLower();
        if (query.object == suffix || query.object.endsWith(u'.' + suffix))
            return int(suffix.count(u'.')) + 1;
        return -1;
    }
    case RdapQuery::Type::IPv4:
    case RdapQuery::Type::IPv6: {
        const auto [network, length] = QHostAddress::parseSubnet(entry);
        const qsizetype slash = query.object.indexOf(u'/');
        const QHostAddress address(query.object.left(slash));
        const int queried = slash < 0 ? 128 : query.object.mid(slash + 1).toInt();
        if (length < 0 || queried < length || !address.isInSubnet(network, length))
            return -1;
        return length;
    }
    case RdapQuery::Type::Autnum: {
        const qsizetype dash = entry.indexOf(u'-');
        bool firstOk = false, lastOk = false;
        const qulonglong first = entry.left(dash).toULongLong(&firstOk);
        const qulonglong last = dash < 0 ? first : entry.mid(dash + 1).toULongLong(&lastOk);
        const qulonglong number = query.object.toULongLong();
        if (!firstOk || (dash >= 0 && !lastOk) || number < first || number > last)
            return -1;
        return 1;
    }
    }
    return -1;
}

} // namespace

std::optional<RdapBootstrap> RdapBootstrap::parse(const QByteArray& json, QString* error)
{
    if (json.size() > MaxBytes) {
        *error = QStringLiteral("the bootstrap file is larger than %1 bytes").arg(MaxBytes);
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    const QJsonValue services = document.object().value(QLatin1String("services"));
    if (!document.isObject() || !services.isArray()) {
        *error = parseError.error != QJsonParseError::NoError
                     ? QStringLiteral("the bootstrap file is not JSON: ") + parseError.errorString()
                     : QStringLiteral("the bootstrap file has no list of services");
        return std::nullopt;
    }
    RdapBootstrap result;
    for (const QJsonValue& service : services.toArray()) {
        const QJsonArray pair = service.toArray();
        Service read{strings(pair.at(0)), {}};
        for (const QString& url : strings(pair.at(1))) {
            const QUrl parsed(url, QUrl::StrictMode);
            if (!parsed.isValid() || (parsed.scheme() != u"https" && parsed.scheme() != u"http") ||
                parsed.host().isEmpty())
                continue;
            const QString base = parsed.toString(QUrl::FullyEncoded); // the scheme in lower case, as compared below
            read.urls << (base.endsWith(u'/') ? base : base + u'/');
        }
        if (!read.entries.isEmpty() && !read.urls.isEmpty())
            result.m_services << read;
    }
    return result;
}

QStringList RdapBootstrap::serversFor(const RdapQuery& query) const
{
    const Service* best = nullptr;
    int bestLength = -1;
    for (const Service& service : m_services) {
        for (const QString& entry : service.entries) {
            if (const int length = matchLength(entry, query); length > bestLength) {
                bestLength = length;
                best = &service;
            }
        }
    }
    if (!best)
        return {};
    QStringList urls = best->urls;
    std::stable_partition(urls.begin(), urls.end(), [](const QString& url) { return url.startsWith(u"https:"); });
    return urls;
}
