#pragma once

#include <QByteArray>
#include <QDateTime>

#include <optional>

/// The wait a Retry-After header value asks for, in seconds (never negative): delta-seconds ("120") or an HTTP date
/// ("Wed, 21 Oct 2026 07:28:00 GMT", IMF-fixdate or the RFC 850 and asctime forms), measured from @p now. Nothing
/// for a value that is neither. Numbers beyond a day count as a day: the caller bounds the wait anyway.
std::optional<qint64> retryAfterSeconds(const QByteArray& value, const QDateTime& now);
