#pragma once

#include <QByteArray>
#include <QByteArrayView>

/// The head of an HTTP/1.x request (RFC 9112 section 2 and 3) as far as the metrics endpoint needs it: the method
/// and the path of the request line, once the head is whole (ended by an empty line). Header fields are only
/// skipped. Bounded: a head longer than MaxBytes is refused, so is a request line that is not three parts of
/// printable characters, a version that is not HTTP/1.x, or a header line with control characters.
struct RequestHead
{
    static constexpr qsizetype MaxBytes = 8 * 1024;

    enum class State
    {
        Incomplete, ///< no empty line yet: more bytes may come
        Complete,
        Bad,      ///< answered 400
        TooLarge, ///< answered 431
    };
    State state = State::Incomplete;
    QByteArray method;
    QByteArray path; ///< the target without its query

    /// Reads the bytes received so far.
    static RequestHead read(QByteArrayView bytes);
};
