#include "metrics/RequestHead.h"

#include <QList>

#include <algorithm>
#include <cstring>

namespace {
bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

/// Visible ASCII and, in field values, space and tab; nothing else may stand in a head.
bool isPrintable(QByteArrayView line, bool blanks)
{
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (!(u > 0x20 && u < 0x7f) && !(blanks && (c == ' ' || c == '\t')))
            return false;
    }
    return true;
}
} // namespace

RequestHead RequestHead::read(QByteArrayView bytes)
{
    RequestHead head;
    // A line ends with CRLF, or a bare LF (RFC 9112 section 2.2 lets a server take it).
    qsizetype end = bytes.indexOf("\r\n\r\n");
    const qsizetype bare = bytes.indexOf("\n\n");
    if (end < 0 || (bare >= 0 && bare < end))
        end = bare;
    if (end < 0) {
        head.state = bytes.size() > MaxBytes ? State::TooLarge : State::Incomplete;
        return head;
    }
    if (end > MaxBytes) {
        head.state = State::TooLarge;
        return head;
    }
    QList<QByteArrayView> lines;
    for (qsizetype from = 0; from < end;) {
        qsizetype to = bytes.indexOf('\n', from);
        if (to < 0 || to > end)
            to = end;
        QByteArrayView line = bytes.sliced(from, to - from);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        from = to + 1;
    }
    head.state = State::Bad;
    const QByteArrayView requestLine = lines.value(0);
    const qsizetype first = requestLine.indexOf(' ');
    const qsizetype second = first < 0 ? -1 : requestLine.indexOf(' ', first + 1);
    if (first <= 0 || second <= first + 1)
        return head;
    const QByteArrayView method = requestLine.first(first);
    const QByteArrayView target = requestLine.sliced(first + 1, second - first - 1);
    const QByteArrayView version = requestLine.sliced(second + 1);
    if (!std::all_of(method.begin(), method.end(), isTokenChar) || !isPrintable(target, false) ||
        !target.startsWith('/') || version.size() != 8 || !version.startsWith("HTTP/1."))
        return head;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        const QByteArrayView name = lines[i].first(std::max<qsizetype>(colon, 0));
        if (colon <= 0 || !std::all_of(name.begin(), name.end(), isTokenChar) ||
            !isPrintable(lines[i].sliced(colon + 1), true))
            return head;
    }
    head.state = State::Complete;
    head.method = method.toByteArray();
    const qsizetype query = target.indexOf('?');
    head.path = (query < 0 ? target : target.first(query)).toByteArray();
    return head;
}
