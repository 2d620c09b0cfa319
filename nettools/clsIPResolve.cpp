#include "nettools/clsIPResolve.h"

#include "discovery/AddressBody.h"
#include "nettools/NetToolsLog.h"
#include "platform/OutsideText.h"

#include <QStringList>

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

QString clsIPResolve::AddressToName(const QString& strIP) const
{
    return LookupName(strIP);
}

QString clsIPResolve::NameToAddress(const QString& strName) const
{
    return LookupAddress(strName);
}

bool clsIPResolve::IsIPAddress(const QString& text)
{
    return isDottedQuad(text);
}

std::optional<std::array<std::uint8_t, 4>> clsIPResolve::IPToLong(const QString& text)
{
    if (!IsIPAddress(text))
        return std::nullopt;
    const QStringList parts = text.split(QLatin1Char('.'));
    std::array<std::uint8_t, 4> bytes{};
    for (int i = 0; i < 4; ++i)
        bytes[std::size_t(i)] = std::uint8_t(parts.at(i).toUInt());
    return bytes;
}

QByteArray clsIPResolve::TrimAtNull(const QByteArray& name)
{
    const qsizetype nul = name.indexOf('\0');
    const QByteArray cut = nul >= 0 ? name.left(nul) : name;
    return cut.left(MaxHostNameLength);
}

QString clsIPResolve::LookupName(const QString& strIP)
{
    const auto bytes = IPToLong(strIP);
    if (!bytes) {
        qCDebug(lcNetTools) << "not an IPv4 address, no look-up:" << strIP;
        return QString();
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    std::memcpy(&address.sin_addr, bytes->data(), bytes->size());

    char host[NI_MAXHOST] = {};
    const int rc = getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host,
                               nullptr, 0, NI_NAMEREQD);
    if (rc != 0) {
        qCDebug(lcNetTools) << "no name for" << strIP << ":" << gai_strerror(rc);
        return QString();
    }
    host[sizeof host - 1] = '\0';
    return OutsideText::line(TrimAtNull(QByteArray(host, qsizetype(std::strlen(host)))), MaxHostNameLength);
}

QString clsIPResolve::LookupAddress(const QString& strName)
{
    const QByteArray name = strName.toUtf8();
    // A NUL would silently end the name early: such text names nothing.
    if (name.contains('\0'))
        return QString();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(name.constData(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        qCDebug(lcNetTools) << "no address for" << strName << ":" << gai_strerror(rc);
        return QString();
    }
    QString result;
    if (found->ai_family == AF_INET && found->ai_addr && found->ai_addrlen >= sizeof(sockaddr_in)) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        const auto* b = reinterpret_cast<const std::uint8_t*>(&in->sin_addr);
        result = QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
    }
    freeaddrinfo(found);
    return result;
}
