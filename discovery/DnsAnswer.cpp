#include "discovery/DnsAnswer.h"

std::optional<QHostAddress> addressFromDnsReply(const QByteArray& reply, quint16 id, const DnsQuestion& question,
                                                QString* error)
{
    Q_UNUSED(reply);
    Q_UNUSED(id);
    Q_UNUSED(question);
    if (error)
        *error = QStringLiteral("not implemented");
    return std::nullopt;
}
