#include "notify/DynDnsAnswer.h"

#include <array>

namespace {
struct Word
{
    const char* word;
    DynDnsAnswer::Kind kind;
    const char* explanation;
};

// The answers of the dyndns2 update protocol as the dynamic-DNS services document them.
constexpr std::array<Word, 11> Words{{
    {"good", DynDnsAnswer::Kind::Success, ""},
    {"nochg", DynDnsAnswer::Kind::Success, ""},
    {"badauth", DynDnsAnswer::Kind::Error, "the user name or password was refused"},
    {"!donator", DynDnsAnswer::Kind::Error, "the request uses a feature the account does not include"},
    {"notfqdn", DynDnsAnswer::Kind::Error, "the host name is not a fully qualified domain name"},
    {"nohost", DynDnsAnswer::Kind::Error, "the host name does not exist in this account"},
    {"numhost", DynDnsAnswer::Kind::Error, "too many host names in one update"},
    {"abuse", DynDnsAnswer::Kind::Error, "the host name is blocked for abuse"},
    {"badagent", DynDnsAnswer::Kind::Error, "the service refused this program or the request's form"},
    {"dnserr", DynDnsAnswer::Kind::Error, "the service had a DNS error; try again later"},
    {"911", DynDnsAnswer::Kind::Error, "the service has a problem of its own; try again later"},
}};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
} // namespace

DynDnsAnswer DynDnsAnswer::read(QByteArrayView body)
{
    qsizetype begin = 0;
    while (begin < body.size() && isSpace(body[begin]))
        ++begin;
    qsizetype end = begin;
    while (end < body.size() && !isSpace(body[end]))
        ++end;
    const QByteArrayView first = body.sliced(begin, end - begin);
    for (const Word& w : Words) {
        if (first == QByteArrayView(w.word))
            return {w.kind, QString::fromLatin1(w.word), QString::fromLatin1(w.explanation)};
    }
    return {};
}
