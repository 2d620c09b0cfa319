#pragma once

#include "app/ProductInfo.h"

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
    QDateTime now;
    ProductInfo product;
};

/// The body: the user's template with the addresses filled in, or the built-in text. No line end is
/// appended.
QString ComposeMailBody(const MailBodyInputs& in);

/// The date and time as the built-in body writes them: the locale's short date, a blank, its long time.
QString mailDateTimeText(const QDateTime& when);

/// The whole text that follows "DATA", end-of-data line included, for @p encoding "MIME" or
/// "UUEncode" (compared exactly); nothing for any other value. Line ends in the body become CR LF and
/// a body line that begins with "." is sent with a second one, so no body line can end the data.
std::optional<QString> ComposeMailMessage(const QString& encoding, const QString& body, const QString& emailFrom,
                                          const QString& emailTo, const ProductInfo& product);

/// @p body with every line end as CR LF and every line that begins with "." given a second one.
QString transparentBody(const QString& body);
