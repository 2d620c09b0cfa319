#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

/// One answer body of the DNS host's API read within bounds: the envelope every answer has
/// ({"success": bool, "errors": [{"code": n, "message": "..."}], "result": [...] or {...}}) and, of the result,
/// what the DNS notifier needs of a zone or a record. Texts from the answer are cleaned for showing (OutsideText).
struct DnsApiAnswer
{
    static constexpr qsizetype MaxBodyBytes = 1024 * 1024; // a longer answer is refused unread
    static constexpr qsizetype MaxEntries = 100;           // of the result, and of the errors
    static constexpr qsizetype MaxIdChars = 64;            // the host's ids are 32 hex digits

    struct Error
    {
        qint64 code = 0;
        QString message;
    };
    /// A zone or a record of the result. id is empty unless it is a plain identifier (letters, digits, "-", "_"):
    /// it becomes part of a URL path.
    struct Entry
    {
        QString id;
        QString name;
        QString type;
        QString content;
    };

    bool json = false;    // the body was a JSON object within MaxBodyBytes
    bool success = false; // "success": true
    QList<Error> errors;
    QList<Entry> result; // a single object's result is one entry

    /// Reads @p body; any bytes. A body over MaxBodyBytes, or one that is no JSON object, gives json == false.
    static DnsApiAnswer read(QByteArrayView body);
    /// The errors as one line: "code 10000: Authentication error; code 9109: ..." (empty when there are none).
    QString errorText() const;
};
