#include "notify/MailText.h"

#include "notify/Placeholders.h"

#include <QHostInfo>
#include <QLocale>
#include <QRandomGenerator>

namespace {

const QString Crlf = QStringLiteral("\r\n");

bool isAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7F)
            return false;
    }
    return true;
}

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
                                      in.externalIPv6Address, OwnIPv6{in.internalIPv6Address, in.ipv6Prefix});
    // The IPv6 line only when there is an IPv6 address, so the text stays as it was for everyone else.
    const QString ipv6Line = in.externalIPv6Address == QLatin1String("none") || in.externalIPv6Address.isEmpty()
        ? QString()
        : QStringLiteral("External IPv6 Address: ") + in.externalIPv6Address + Crlf;
    const bool own6 = in.internalIPv6Address != QLatin1String("none") && !in.internalIPv6Address.isEmpty();
    const bool prefixMoved = in.previousIPv6Prefix != in.ipv6Prefix && in.previousIPv6Prefix != QLatin1String("none");
    const QString ownLines =
        !own6 ? QString()
              : QStringLiteral("Internal IPv6 Address: ") + in.internalIPv6Address + Crlf +
                    QStringLiteral("IPv6 Prefix: ") + in.ipv6Prefix +
                    (prefixMoved ? QStringLiteral(" (was ") + in.previousIPv6Prefix + u')' : QString()) + Crlf;
    const ProductInfo& p = in.product;
    return QStringLiteral("This message is an automatic notification by ") + p.productName +
           QStringLiteral(" that your IP Address has changed to the following:") + Crlf + Crlf +
           QStringLiteral("External IP Address: ") + in.externalAddress + Crlf + ipv6Line +
           QStringLiteral("Internal IP Address: ") + in.internalAddress + Crlf + ownLines + Crlf +
           QStringLiteral("Date/Time: ") + mailDateTimeText(in.now) + Crlf + Crlf + QStringLiteral("Thank you,") +
           Crlf + Crlf + p.productName + QStringLiteral(" by ") + p.companyName + Crlf + QStringLiteral("http://www.") +
           p.website;
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

QString mailDateHeaderText(const QDateTime& when)
{
    // Qt writes the date without its (optional) day name; mail readers like to see it.
    return QLocale::c().toString(when, QStringLiteral("ddd, ")) + when.toString(Qt::RFC2822Date);
}

QString newMessageId(const QString& emailFrom)
{
    const qsizetype at = emailFrom.lastIndexOf(QLatin1Char('@'));
    QString domain = at >= 0 ? emailFrom.mid(at + 1).trimmed() : QString();
    if (domain.isEmpty())
        domain = QHostInfo::localHostName();
    QByteArray random(16, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    return QLatin1Char('<') + QString::fromLatin1(random.toHex()) + QLatin1Char('@') + domain + QLatin1Char('>');
}

bool mailBodyIsEightBit(const QString& body, bool eightBitMime)
{
    return eightBitMime && !isAscii(body);
}

QByteArray quotedPrintable(const QByteArray& text)
{
    static const char Hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size() * 3 / 2 + 8);
    qsizetype lineLength = 0;
    const auto put = [&](const QByteArray& piece) {
        // A soft break ("=" at the end) keeps every line within 76 characters.
        if (lineLength + piece.size() > 75) {
            out += "=\r\n";
            lineLength = 0;
        }
        out += piece;
        lineLength += piece.size();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\r\n";
            lineLength = 0;
            continue;
        }
        const bool atLineEnd = i + 1 == text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
        // Blanks survive only inside a line; "." is encoded at a line start so no line can end the data.
        const bool literal = (c >= 33 && c <= 126 && c != '=' && !(c == '.' && lineLength == 0)) ||
                             ((c == ' ' || c == '\t') && !atLineEnd);
        if (literal)
            put(QByteArray(1, char(c)));
        else
            put(QByteArray("=") + Hex[c >> 4] + Hex[c & 0x0F]);
    }
    return out;
}

std::optional<QString> ComposeMailMessage(const QString& encoding, const QString& body, const QString& emailFrom,
                                          const QString& emailTo, const ProductInfo& product,
                                          const MailMessageExtras& extras)
{
    QString leading;
    if (!extras.date.isEmpty())
        leading += QStringLiteral("Date: ") + extras.date + Crlf;
    if (!extras.messageId.isEmpty())
        leading += QStringLiteral("Message-ID: ") + extras.messageId + Crlf;
    // An ASCII body keeps the fixed headers as they always were; any other is declared UTF-8.
    const bool ascii = isAscii(body);
    const QString transferEncoding =
        QStringLiteral("Content-Transfer-Encoding: ") +
        (extras.eightBitMime ? QStringLiteral("8bit") : QStringLiteral("quoted-printable")) + Crlf;
    const QString utf8Type = QStringLiteral("Content-Type: text/plain; charset=utf-8") + Crlf + transferEncoding;
    const QString text =
        ascii || extras.eightBitMime ? transparentBody(body) : QString::fromLatin1(quotedPrintable(body.toUtf8()));
    const QString quote = QStringLiteral("\"");
    const QString subject = QStringLiteral("Subject: ") + product.productName + QStringLiteral(" - IP Address Changed");
    if (encoding == QLatin1String("MIME")) {
        return leading + QStringLiteral("From: ") + quote + product.productName + quote + QStringLiteral(" <") +
               emailFrom + QStringLiteral(">") + Crlf + QStringLiteral("To: ") + quote + emailTo + quote +
               QStringLiteral(" <") + emailTo + QStringLiteral(">") + Crlf + subject + Crlf +
               QStringLiteral("MIME-Version: 1.0") + Crlf +
               QStringLiteral("Content-Type: multipart/mixed; boundary=\"QUAVIX\"") + Crlf +
               QStringLiteral("X-Mailer: ") + product.productName + Crlf + QStringLiteral("X-MimeOLE: Produced by ") +
               product.productName + QLatin1Char(' ') + QString::number(product.majorVersion) + QLatin1Char('.') +
               QString::number(product.minorVersion) + Crlf + Crlf +
               QStringLiteral("This is a multi-part message in MIME format.") + Crlf + QStringLiteral("--QUAVIX") +
               Crlf + (ascii ? QStringLiteral("Content-Type: text/plain") + Crlf : utf8Type) + Crlf + text + Crlf +
               Crlf + QStringLiteral("--QUAVIX--") + Crlf + QStringLiteral(".") + Crlf; // RFC 2046 section 5.1.1
    }
    if (encoding == QLatin1String("UUEncode")) {
        return leading + QStringLiteral("From: <") + emailFrom + QStringLiteral(">") + Crlf + QStringLiteral("To: ") +
               emailTo + Crlf + subject + Crlf + QStringLiteral("X-Mailer: ") + product.productName + Crlf +
               (ascii ? QStringLiteral("Content-Type: text/plain;charset=us-ascii") + Crlf
                      : QStringLiteral("MIME-Version: 1.0") + Crlf + utf8Type) +
               Crlf + text + Crlf + Crlf + Crlf + QStringLiteral(".") + Crlf;
    }
    return std::nullopt;
}
