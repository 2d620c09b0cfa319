#include "nettools/RdapQuery.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QUrl>

std::optional<RdapQuery> RdapQuery::fromText(const QString& text)
{
    QString query = text.trimmed();
    if (query.isEmpty() || query.size() > 253)
        return std::nullopt;
    static const QRegularExpression asn(QStringLiteral("^(?:[Aa][Ss])?([0-9]{1,10})$"));
    if (const QRegularExpressionMatch match = asn.match(query); match.hasMatch()) {
        bool ok = false;
        const qulonglong number = match.captured(1).toULongLong(&ok);
        if (!ok || number > 0xFFFFFFFFull)
            return std::nullopt;
        return RdapQuery{Type::Autnum, QString::number(number)};
    }
    if (query.contains(QLatin1Char('/'))) {
        const auto [network, length] = QHostAddress::parseSubnet(query);
        if (length < 0)
            return std::nullopt;
        const bool v4 = network.protocol() == QAbstractSocket::IPv4Protocol;
        return RdapQuery{v4 ? Type::IPv4 : Type::IPv6, network.toString() + u'/' + QString::number(length)};
    }
    if (const QHostAddress address(query); !address.isNull()) {
        const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
        return RdapQuery{v4 ? Type::IPv4 : Type::IPv6, address.toString()};
    }
    if (query.endsWith(QLatin1Char('.')))
        query.chop(1);
    // A name of letters, digits and hyphens once in A-labels, with a dot: a bare word is no domain to look up.
    const QString ace = QString::fromLatin1(QUrl::toAce(query)).toLower();
    static const QRegularExpression name(QStringLiteral("^(?:[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?\\.)+"
                                                        "[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?$"));
    if (ace.isEmpty() || ace.size() > 253 || !name.match(ace).hasMatch())
        return std::nullopt;
    return RdapQuery{Type::Domain, ace};
}

QString RdapQuery::path() const
{
    switch (type) {
    case Type::Domain:
        return QStringLiteral("domain/") + object;
    case Type::IPv4:
    case Type::IPv6:
        return QStringLiteral("ip/") + object;
    case Type::Autnum:
        return QStringLiteral("autnum/") + object;
    }
    return {};
}

QString RdapQuery::bootstrapFile() const
{
    switch (type) {
    case Type::Domain:
        return QStringLiteral("dns.json");
    case Type::IPv4:
        return QStringLiteral("ipv4.json");
    case Type::IPv6:
        return QStringLiteral("ipv6.json");
    case Type::Autnum:
        return QStringLiteral("asn.json");
    }
    return {};
}
