#include "notify/SmtpCapabilities.h"

#include <QByteArray>
#include <QList>

SmtpCapabilities SmtpCapabilities::parse(QByteArrayView reply)
{
    SmtpCapabilities caps;
    bool first = true;
    for (QByteArrayView line : QByteArray::fromRawData(reply.data(), reply.size()).split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        // "250-KEYWORD params" or "250 KEYWORD params"; the first line greets with the server's name.
        if (line.size() < 4 || first) {
            first = false;
            continue;
        }
        const QByteArray text = line.sliced(4).toByteArray().trimmed().toUpper();
        // Older servers wrote "AUTH=LOGIN PLAIN".
        const QList<QByteArray> words = QByteArray(text).replace('=', ' ').simplified().split(' ');
        const QByteArray& keyword = words.first();
        if (keyword == "STARTTLS") {
            caps.startTls = true;
        } else if (keyword == "8BITMIME") {
            caps.eightBitMime = true;
        } else if (keyword == "AUTH") {
            caps.authOffered = true;
            caps.authPlain = caps.authPlain || words.contains("PLAIN");
            caps.authLogin = caps.authLogin || words.contains("LOGIN");
        }
    }
    return caps;
}
