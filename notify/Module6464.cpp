#include "notify/Module6464.h"

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

QByteArray encodeUnbroken(const QByteArray& octets)
{
    QByteArray out;
    out.reserve((octets.size() + 2) / 3 * 4);
    const auto byteAt = [&octets](qsizetype i) { return static_cast<quint32>(static_cast<quint8>(octets.at(i))); };
    qsizetype i = 0;
    for (; i + 3 <= octets.size(); i += 3) {
        const quint32 group = byteAt(i) << 16 | byteAt(i + 1) << 8 | byteAt(i + 2);
        out += Alphabet[(group >> 18) & 0x3f];
        out += Alphabet[(group >> 12) & 0x3f];
        out += Alphabet[(group >> 6) & 0x3f];
        out += Alphabet[group & 0x3f];
    }
    const qsizetype rest = octets.size() - i;
    if (rest == 1) {
        const quint32 group = byteAt(i) << 16;
        out += Alphabet[(group >> 18) & 0x3f];
        out += Alphabet[(group >> 12) & 0x3f];
        out += "==";
    } else if (rest == 2) {
        const quint32 group = byteAt(i) << 16 | byteAt(i + 1) << 8;
        out += Alphabet[(group >> 18) & 0x3f];
        out += Alphabet[(group >> 12) & 0x3f];
        out += Alphabet[(group >> 6) & 0x3f];
        out += '=';
    }
    return out;
}

} // namespace

QByteArray Base64EncodeBytes(const QByteArray& octets, int lineLength)
{
    QByteArray out = encodeUnbroken(octets);
    if (lineLength <= 0)
        return out;
    // Positions count from 1 in the result as it grows; each inserted CR LF pushes the next break
    // two further. A break is made only in front of a character that exists, and never in front of
    // the very last one.
    qsizetype position = qsizetype(lineLength) + 1;
    while (position < out.size()) {
        out.insert(position - 1, "\r\n");
        position += qsizetype(lineLength) + 2;
    }
    return out;
}

QString Base64Encode(const QString& text, int lineLength)
{
    if (text.isEmpty())
        return QString();
    return QString::fromLatin1(Base64EncodeBytes(text.toUtf8(), lineLength));
}
