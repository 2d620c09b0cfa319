#include "discovery/DnsAnswer.h"

#include "discovery/AddressBody.h"
#include "platform/OutsideText.h"

#include <QtEndian>

#include <ares.h>

namespace {

constexpr int HeaderSize = 12;
// DnsQuestion::IN, which Windows' headers (through ares.h) would turn into nothing: IN is a macro there.
constexpr char InternetClass = 1;

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

quint16 word(const QByteArray& data, qsizetype at)
{
    return static_cast<quint16>((static_cast<uchar>(data[at]) << 8) | static_cast<uchar>(data[at + 1]));
}

QString typeName(int type)
{
    switch (type) {
    case DnsQuestion::A:
        return QStringLiteral("A");
    case DnsQuestion::AAAA:
        return QStringLiteral("AAAA");
    case DnsQuestion::TXT:
        return QStringLiteral("TXT");
    default:
        return QString::number(type);
    }
}

/// Skips the name at @p *at (compression followed and loops refused by c-ares), leaving *at after it.
bool skipName(const QByteArray& data, qsizetype* at, QByteArray* name, QString* error)
{
    char* expanded = nullptr;
    long encodedLength = 0;
    const auto* base = reinterpret_cast<const unsigned char*>(data.constData());
    if (ares_expand_name(base + *at, base, static_cast<int>(data.size()), &expanded, &encodedLength) != ARES_SUCCESS)
        return fail(error, QStringLiteral("malformed name in the reply"));
    if (name)
        *name = QByteArray(expanded);
    ares_free_string(expanded);
    *at += encodedLength;
    return true;
}

/// Checks the header and the question; on success *end is the offset after the question.
bool checkHeaderAndQuestion(const QByteArray& reply, const DnsQuestion& question, qsizetype* end, QString* error)
{
    if (reply.size() < HeaderSize)
        return fail(error, QStringLiteral("reply shorter than a DNS header (%1 bytes)").arg(reply.size()));
    const quint16 flags = word(reply, 2);
    if (!(flags & 0x8000))
        return fail(error, QStringLiteral("not a DNS reply (QR bit clear)"));
    if (flags & 0x0200)
        return fail(error, QStringLiteral("truncated reply"));
    switch (flags & 0x000f) {
    case 0:
        break;
    case 2:
        return fail(error, QStringLiteral("server failure (SERVFAIL)"));
    case 3:
        return fail(error, QStringLiteral("no such name (NXDOMAIN)"));
    case 5:
        return fail(error, QStringLiteral("query refused (REFUSED)"));
    default:
        return fail(error, QStringLiteral("error code %1 in the reply").arg(flags & 0x000f));
    }
    if (word(reply, 4) != 1)
        return fail(error, QStringLiteral("the reply has %1 questions instead of one").arg(word(reply, 4)));
    qsizetype at = HeaderSize;
    QByteArray name;
    if (!skipName(reply, &at, &name, error))
        return false;
    if (at + 4 > reply.size())
        return fail(error, QStringLiteral("the reply ends inside its question"));
    QByteArray wanted = question.name;
    if (wanted.endsWith('.'))
        wanted.chop(1);
    if (name.toLower() != wanted.toLower() || word(reply, at) != question.type ||
        word(reply, at + 2) != question.dnsClass)
        return fail(error, QStringLiteral("the reply is for another question (%1 %2)")
                               .arg(OutsideText::line(name, 255), typeName(word(reply, at))));
    *end = at + 4;
    return true;
}

/// The c-ares parsers read class IN records only: a CH question and its answers are rewritten to IN in a copy.
bool chaosAsInternet(QByteArray* reply, qsizetype afterQuestion, QString* error)
{
    auto setClass = [reply](qsizetype at) {
        if (word(*reply, at) == DnsQuestion::CH) {
            (*reply)[at] = 0;
            (*reply)[at + 1] = InternetClass;
        }
    };
    setClass(afterQuestion - 2);
    const int answers = word(*reply, 6);
    qsizetype at = afterQuestion;
    for (int i = 0; i < answers; ++i) {
        if (!skipName(*reply, &at, nullptr, error))
            return false;
        if (at + 10 > reply->size())
            return fail(error, QStringLiteral("the reply ends inside an answer record"));
        setClass(at + 2);
        at += 10 + word(*reply, at + 8);
        if (at > reply->size())
            return fail(error, QStringLiteral("an answer record runs past the end of the reply"));
    }
    return true;
}

QString aresReason(int status, const QString& type)
{
    switch (status) {
    case ARES_ENODATA:
        return QStringLiteral("no %1 record in the answer").arg(type);
    case ARES_EBADRESP:
        return QStringLiteral("malformed reply");
    default:
        return QStringLiteral("unreadable reply: %1").arg(QString::fromUtf8(ares_strerror(status)));
    }
}

} // namespace

std::optional<QHostAddress> addressFromDnsReply(const QByteArray& original, const DnsQuestion& question, QString* error)
{
    qsizetype afterQuestion = 0;
    if (!checkHeaderAndQuestion(original, question, &afterQuestion, error))
        return std::nullopt;
    if (word(original, 6) == 0) {
        fail(error, QStringLiteral("no answer in the reply"));
        return std::nullopt;
    }
    QByteArray reply = original;
    if (question.dnsClass == DnsQuestion::CH && !chaosAsInternet(&reply, afterQuestion, error))
        return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(reply.constData());
    const int length = static_cast<int>(reply.size());

    if (question.type == DnsQuestion::A) {
        ares_addrttl records[4];
        int count = 4;
        const int status = ares_parse_a_reply(data, length, nullptr, records, &count);
        if (status != ARES_SUCCESS || count < 1) {
            fail(error, aresReason(status == ARES_SUCCESS ? ARES_ENODATA : status, QStringLiteral("A")));
            return std::nullopt;
        }
        return QHostAddress(qFromBigEndian<quint32>(&records[0].ipaddr)); // stored in network order
    }
    if (question.type == DnsQuestion::AAAA) {
        ares_addr6ttl records[4];
        int count = 4;
        const int status = ares_parse_aaaa_reply(data, length, nullptr, records, &count);
        if (status != ARES_SUCCESS || count < 1) {
            fail(error, aresReason(status == ARES_SUCCESS ? ARES_ENODATA : status, QStringLiteral("AAAA")));
            return std::nullopt;
        }
        return QHostAddress(records[0].ip6addr._S6_un._S6_u8);
    }
    if (question.type != DnsQuestion::TXT) {
        fail(error, QStringLiteral("record type %1 is not asked for").arg(question.type));
        return std::nullopt;
    }
    ares_txt_ext* texts = nullptr;
    const int status = ares_parse_txt_reply_ext(data, length, &texts);
    if (status != ARES_SUCCESS) {
        fail(error, aresReason(status, QStringLiteral("TXT")));
        return std::nullopt;
    }
    std::optional<QHostAddress> found;
    QString firstText;
    for (const ares_txt_ext* text = texts; text && !found; text = text->next) {
        if (text->length > 64)
            continue;
        const QString candidate = OutsideText::line(
            QByteArrayView(reinterpret_cast<const char*>(text->txt), static_cast<qsizetype>(text->length)));
        if (firstText.isEmpty())
            firstText = candidate;
        if (isIpAddressText(candidate))
            found = hostAddressFromText(candidate);
    }
    ares_free_data(texts);
    if (!found)
        fail(error, QStringLiteral("no TXT string is an address (first: \"%1\")").arg(firstText.left(64)));
    return found;
}
