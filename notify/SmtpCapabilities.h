#pragma once

#include <QByteArrayView>

/// What a server's EHLO reply offers (RFC 5321 section 4.1.1.1): one keyword and its parameters per
/// line after the first. Keywords are compared without regard to case; anything else is ignored.
struct SmtpCapabilities
{
    bool startTls = false;
    bool eightBitMime = false;
    bool authPlain = false;
    bool authLogin = false;
    bool authOffered = false; // an AUTH line was there at all

    /// The capabilities in @p reply (a whole reply as SmtpReplyReader takes it).
    static SmtpCapabilities parse(QByteArrayView reply);
};
