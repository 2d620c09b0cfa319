#pragma once

#include "core/ProductInfo.h"

#include <QDateTime>
#include <QString>

#include <optional>

/// What the notification mail's body is built from, taken when the body is composed.
struct MailBodyInputs
{
    bool useBody = false;   // the user's own text instead of the built-in one
    QString bodyTemplate;   // may hold "$Internal$" and "$External$"
    QString internalAddress;
    QString externalAddress;
    QString externalIPv6Address = QStringLiteral("none");
    QString internalIPv6Address = QStringLiteral("none"); // the machine's own stable one
    QString ipv6Prefix = QStringLiteral("none");
    QString previousIPv6Prefix = QStringLiteral("none");
    QDateTime now;
    ProductInfo product;
};

/// The body: the user's template with the addresses filled in, or the built-in text. No line end is
/// appended.
QString ComposeMailBody(const MailBodyInputs& in);

/// The date and time as the built-in body writes them: the locale's short date, a blank, its long time.
QString mailDateTimeText(const QDateTime& when);

/// What a message carries beyond the fixed headers. Empty texts leave their header out.
struct MailMessageExtras
{
    QString date;              // the "Date:" value
    QString messageId;         // the "Message-ID:" value, angle brackets included
    bool eightBitMime = false; // the server offered 8BITMIME: a UTF-8 body may go as it is
};

/// @p when as a "Date:" header value (RFC 5322 section 3.3): English day and month names, local
/// time with its offset from UTC.
QString mailDateHeaderText(const QDateTime& when);

/// A new random Message-ID at the domain of @p emailFrom (the local host's name without one).
QString newMessageId(const QString& emailFrom);

/// Whether @p body goes as 8bit: it is not ASCII and the server offered 8BITMIME (else it goes quoted-printable).
bool mailBodyIsEightBit(const QString& body, bool eightBitMime);

/// @p text encoded as quoted-printable (RFC 2045 section 6.7): CR LF, lone CR and lone LF are hard
/// line breaks, lines are cut by soft breaks at 76 characters.
QByteArray quotedPrintable(const QByteArray& text);

/// The whole text that follows "DATA", end-of-data line included, for @p encoding "MIME" or
/// "UUEncode" (compared exactly); nothing for any other value. Line ends in the body become CR LF and
/// a body line that begins with "." is sent with a second one, so no body line can end the data.
/// "Date:" and "Message-ID:" come first when @p extras holds them; a body that is not ASCII is
/// declared UTF-8 and sent as 8bit when the server offered 8BITMIME, else as quoted-printable. The MIME form
/// ends its one part with the closing boundary.
std::optional<QString> ComposeMailMessage(const QString& encoding, const QString& body, const QString& emailFrom,
                                          const QString& emailTo, const ProductInfo& product,
                                          const MailMessageExtras& extras = {});

/// @p body with every line end as CR LF and every line that begins with "." given a second one.
QString transparentBody(const QString& body);
