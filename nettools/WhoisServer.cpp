#include "nettools/WhoisServer.h"

#include <QtGlobal>

namespace {

bool parsePort(const QString& text, quint16* port)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const uint value = text.toUInt();
    if (value < 1 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

} // namespace

bool WhoisServer::parse(const QString& text, WhoisServer* server, QString* error)
{
    const QString spec = text.trimmed();
    QString host = spec;
    QString port;
    if (spec.startsWith(QLatin1Char('['))) {
        const qsizetype close = spec.indexOf(QLatin1Char(']'));
        if (close < 0) {
            *error = QStringLiteral("\"%1\" lacks the \"]\" that ends its address").arg(spec);
            return false;
        }
        host = spec.mid(1, close - 1);
        const QString rest = spec.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':'))) {
                *error = QStringLiteral("\"%1\" has text after its address that is not \":port\"").arg(spec);
                return false;
            }
            port = rest.mid(1);
            if (port.isEmpty()) {
                *error = QStringLiteral("\"%1\" has an empty port").arg(spec);
                return false;
            }
        }
    } else if (spec.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = spec.indexOf(QLatin1Char(':'));
        host = spec.left(colon);
        port = spec.mid(colon + 1);
        if (port.isEmpty()) {
            *error = QStringLiteral("\"%1\" has an empty port").arg(spec);
            return false;
        }
    }
    // Several colons without brackets: a bare IPv6 address on the default port.
    if (host.isEmpty() || host.contains(QLatin1Char(' '))) {
        *error = QStringLiteral("\"%1\" does not name a host").arg(spec);
        return false;
    }
    WhoisServer parsed;
    parsed.host = host;
    if (!port.isEmpty() && !parsePort(port, &parsed.port)) {
        *error = QStringLiteral("\"%1\" is not a port from 1 to 65535").arg(port);
        return false;
    }
    *server = parsed;
    return true;
}

bool WhoisServer::fromEnvironment(WhoisServer* server, QString* error)
{
    const QString value = qEnvironmentVariable(EnvironmentVariable);
    if (value.trimmed().isEmpty()) {
        *server = WhoisServer();
        return true;
    }
    if (!parse(value, server, error)) {
        *error = QStringLiteral("%1: %2").arg(QLatin1String(EnvironmentVariable), *error);
        return false;
    }
    return true;
}
