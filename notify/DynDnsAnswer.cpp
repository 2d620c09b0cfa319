#include "notify/DynDnsAnswer.h"

#include <QStringDecoder>

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

QString bodyDisplayLine(QByteArrayView body, qsizetype maxChars)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(body);
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            if (line.trimmed().isEmpty())
                continue; // leading blank lines: the first line with text is shown
            break;
        }
        if (c == u'\t')
            line += u' ';
        else if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            line += c;
        if (line.size() > maxChars)
            break;
    }
    line = line.trimmed();
    if (line.size() <= maxChars)
        return line;
    qsizetype keep = maxChars - 1;
    if (keep > 0 && line[keep - 1].isHighSurrogate())
        --keep; // never half a character
    return line.left(keep) + QChar(0x2026);
}
