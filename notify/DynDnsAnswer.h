#pragma once

#include <QByteArrayView>
#include <QString>

/// A web notification's answer body read as a dynamic-DNS update answer ("dyndns2": the first word
/// is good, nochg or an error word such as badauth), or as a plain body when its first word is none of them.
struct DynDnsAnswer
{
    enum class Kind
    {
        Plain,   // not an update answer: the HTTP status alone decides
        Success, // good, nochg
        Error,   // badauth, !donator, notfqdn, nohost, numhost, abuse, badagent, dnserr, 911
    };
    Kind kind = Kind::Plain;
    QString word;        // the answer word as sent ("" for a plain body)
    QString explanation; // for an error word: what it means, in a short sentence

    /// Reads the first word of @p body (after leading white space); any bytes, any length.
    static DynDnsAnswer read(QByteArrayView body);
};
