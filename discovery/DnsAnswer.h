#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

/// The question a DNS source asks: NAME, its record type and class.
struct DnsQuestion
{
    enum Type : int
    {
        A = 1,
        TXT = 16,
        AAAA = 28
    };
    enum Class : int
    {
        IN = 1,
        CH = 3
    };
    QByteArray name;
    int type = A;
    int dnsClass = IN;
};

/// The address in the DNS reply @p reply to @p question: the first A or AAAA record, or the first TXT string
/// that is an address. Nothing and @p error (why) for a reply to another question, a truncated or malformed
/// one, NXDOMAIN, SERVFAIL or any other error code, or one without such an answer. (c-ares has already
/// matched the reply's ID to the query it sent.)
std::optional<QHostAddress> addressFromDnsReply(const QByteArray& reply, const DnsQuestion& question, QString* error);
