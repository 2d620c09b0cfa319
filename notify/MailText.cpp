#include "notify/MailText.h"

#include "notify/Placeholders.h"

#include <QLocale>

namespace {

const QString Crlf = QStringLiteral("\r\n");

} // namespace

QString mailDateTimeText(const QDateTime& when)
{
    const QLocale locale = QLocale::system();
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(when.time(), QLocale::LongFormat);
}

QString ComposeMailBody(const MailBodyInputs& in)
{
    if (in.useBody)
        return substitutePlaceholders(in.bodyTemplate, programPlaceholders(), in.internalAddress, in.externalAddress,
                                      in.externalIPv6Address);
    // The IPv6 line only when there is an IPv6 address, so the text stays as it was for everyone else.
    const QString ipv6Line = in.externalIPv6Address == QLatin1String("none") || in.externalIPv6Address.isEmpty()
        ? QString()
        : QStringLiteral("External IPv6 Address: ") + in.externalIPv6Address + Crlf;
    const ProductInfo& p = in.product;
    return QStringLiteral("This message is an automatic notification by ") + p.productName
        + QStringLiteral(" that your IP Address has changed to the following:") + Crlf + Crlf
        + QStringLiteral("External IP Address: ") + in.externalAddress + Crlf + ipv6Line
        + QStringLiteral("Internal IP Address: ") + in.internalAddress + Crlf + Crlf
        + QStringLiteral("Date/Time: ") + mailDateTimeText(in.now) + Crlf + Crlf
        + QStringLiteral("Thank you,") + Crlf + Crlf
        + p.productName + QStringLiteral(" by ") + p.companyName + Crlf
        + QStringLiteral("http://www.") + p.website;
}

QString transparentBody(const QString& body)
{
    // RFC 5321 section 2.3.8: no bare CR or LF in the data; section 4.5.2: a line that begins with
    // "." gets one more, which the server removes.
    QString out;
    out.reserve(body.size() + 16);
    bool lineStart = true;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < body.size() && body.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += Crlf;
            lineStart = true;
            continue;
        }
        if (lineStart && c == QLatin1Char('.'))
            out += QLatin1Char('.');
        out += c;
        lineStart = false;
    }
    return out;
}

std::optional<QString> ComposeMailMessage(const QString& encoding, const QString& body, const QString& emailFrom,
                                          const QString& emailTo, const ProductInfo& product)
{
    const QString quote = QStringLiteral("\"");
    const QString subject = QStringLiteral("Subject: ") + product.productName + QStringLiteral(" - IP Address Changed");
    if (encoding == QLatin1String("MIME")) {
        return QStringLiteral("From: ") + quote + product.productName + quote + QStringLiteral(" <") + emailFrom
            + QStringLiteral(">") + Crlf
            + QStringLiteral("To: ") + quote + emailTo + quote + QStringLiteral(" <") + emailTo + QStringLiteral(">")
            + Crlf + subject + Crlf
            + QStringLiteral("MIME-Version: 1.0") + Crlf
            + QStringLiteral("Content-Type: multipart/mixed; boundary=\"QUAVIX\"") + Crlf
            + QStringLiteral("X-Mailer: ") + product.productName + Crlf
            + QStringLiteral("X-MimeOLE: Produced by ") + product.productName + QLatin1Char(' ')
            + QString::number(product.majorVersion) + QLatin1Char('.') + QString::number(product.minorVersion) + Crlf
            + Crlf
            + QStringLiteral("This is a multi-part message in MIME format.") + Crlf
            + QStringLiteral("--QUAVIX") + Crlf
            + QStringLiteral("Content-Type: text/plain") + Crlf
            + Crlf
            + transparentBody(body) + Crlf
            + Crlf
            + QStringLiteral(".") + Crlf;
    }
    if (encoding == QLatin1String("UUEncode")) {
        return QStringLiteral("From: <") + emailFrom + QStringLiteral(">") + Crlf
            + QStringLiteral("To: ") + emailTo + Crlf
            + subject + Crlf
            + QStringLiteral("X-Mailer: ") + product.productName + Crlf
            + QStringLiteral("Content-Type: text/plain;charset=us-ascii") + Crlf
            + Crlf
            + transparentBody(body) + Crlf
            + Crlf
            + Crlf
            + QStringLiteral(".") + Crlf;
    }
    return std::nullopt;
}
