#include "discovery/StunMessage.h"

QByteArray StunMessage::bindingRequest(const TransactionId& id)
{
    Q_UNUSED(id);
    return {};
}

bool StunMessage::parse(const QByteArray& datagram, QString* error)
{
    Q_UNUSED(datagram);
    if (error)
        *error = QStringLiteral("not implemented");
    return false;
}

std::optional<QHostAddress> StunMessage::mappedAddressFor(const TransactionId& id, QString* error) const
{
    Q_UNUSED(id);
    if (error)
        *error = QStringLiteral("not implemented");
    return std::nullopt;
}

bool StunMessage::readAddress(const uchar*, int, bool, QHostAddress*, QString*)
{
    return false;
}
