#include "platform/DefaultGateway.h"

#include <QFile>
#include <QList>
#include <QtEndian>

#include <limits>

namespace {

constexpr int RouteUpFlag = 0x1;      // RTF_UP
constexpr int RouteGatewayFlag = 0x2; // RTF_GATEWAY

// A field of /proc/net/route: eight hexadecimal digits.
bool hexField(const QByteArray& field, quint32* value)
{
    bool ok = false;
    *value = field.toUInt(&ok, 16);
    return ok && field.size() == 8;
}

} // namespace

// /proc/net/route: a header line, then one route per line (interface, destination, gateway, flags, reference
// count, use, metric, mask, ...), addresses as the 32-bit value of their network-order bytes, in hexadecimal.
QHostAddress defaultGatewayIPv4()
{
    QFile file(QStringLiteral("/proc/net/route"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    QHostAddress best;
    long bestMetric = std::numeric_limits<long>::max();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() < 8)
            continue;
        quint32 destination = 0, gateway = 0, mask = 0;
        bool flagsOk = false, metricOk = false;
        const uint flags = fields[3].toUInt(&flagsOk, 16);
        const long metric = fields[6].toLong(&metricOk);
        if (!hexField(fields[1], &destination) || !hexField(fields[2], &gateway) || !hexField(fields[7], &mask) ||
            !flagsOk || !metricOk || destination != 0 || mask != 0 || gateway == 0 ||
            (flags & (RouteUpFlag | RouteGatewayFlag)) != (RouteUpFlag | RouteGatewayFlag) || metric >= bestMetric)
            continue;
        bestMetric = metric;
        // The value's bytes as they lie in memory are the address in network order.
        best = QHostAddress(qFromBigEndian(gateway));
    }
    return best;
}
