#include "discovery/RetryAfter.h"

#include <QLocale>
#include <QString>

#include <algorithm>

namespace {

constexpr qint64 LongestSeconds = 24 * 3600;
constexpr qsizetype LongestValue = 64; // the longest date form has 29 characters

} // namespace

std::optional<qint64> retryAfterSeconds(const QByteArray& value, const QDateTime& now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty() || text.size() > LongestValue)
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        qint64 seconds = 0;
        for (const char c : text) {
            seconds = seconds * 10 + (c - '0');
            if (seconds > LongestSeconds)
                return LongestSeconds;
        }
        return seconds;
    }
    // The three date forms HTTP allows, always in English and GMT. The day of the week says nothing the date does
    // not, and a two-digit year would make it disagree: it is left out.
    const QString date = QString::fromLatin1(text).simplified();
    const qsizetype comma = date.indexOf(QLatin1Char(','));
    const QString dayAndTime = comma >= 0 ? date.mid(comma + 1).trimmed() : date.section(QLatin1Char(' '), 1);
    const QLocale c = QLocale::c();
    for (const char* format : {"dd MMM yyyy HH:mm:ss 'GMT'", "dd-MMM-yy HH:mm:ss 'GMT'", "MMM d HH:mm:ss yyyy"}) {
        QDateTime when = c.toDateTime(dayAndTime, QString::fromLatin1(format));
        if (!when.isValid())
            continue;
        if (when.date().year() < 1970) // a two-digit year (RFC 850 form) of this century
            when = when.addYears(100);
        when.setTimeSpec(Qt::UTC);
        return std::clamp<qint64>(now.secsTo(when), 0, LongestSeconds);
    }
    return std::nullopt;
}
