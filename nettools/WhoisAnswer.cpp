#include "nettools/WhoisAnswer.h"

#include "platform/OutsideText.h"

#include <QList>

namespace {

// Length of the UTF-8 sequence that a lead byte starts, or 0 for a byte that cannot lead one.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// A cut can split the last UTF-8 sequence: those few bytes are left out rather than shown as U+FFFD.
qsizetype withoutSplitSequence(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes.at(size - back));
        if ((byte & 0xC0) == 0x80)
            continue;  // continuation byte: look further back for the lead
        const int needed = sequenceLength(byte);
        return needed > back ? size - back : size;
    }
    return size;
}

} // namespace

void WhoisAnswer::append(const QByteArray& bytes)
{
    const qsizetype room = m_limit - m_bytes.size();
    if (bytes.size() > room) {
        m_bytes.append(bytes.constData(), room);
        m_cut = true;
        return;
    }
    m_bytes.append(bytes);
}

void WhoisAnswer::clear()
{
    m_bytes.clear();
    m_cut = false;
}

QString WhoisAnswer::text() const
{
    if (!m_cut)
        return decode(m_bytes);
    return decode(m_bytes.left(withoutSplitSequence(m_bytes))) + cutNote(m_limit);
}

QString WhoisAnswer::decode(const QByteArray& bytes)
{
    // Every UTF-8 byte gives at most one UTF-16 unit: the byte limit already bounds the text.
    return OutsideText::block(bytes, std::max<qsizetype>(bytes.size(), 1));
}

QString WhoisAnswer::cutNote(qsizetype limit)
{
    return QStringLiteral("\n\n[The answer was longer than %1 bytes and was cut there.]").arg(limit);
}

QString WhoisAnswer::referral(const QString& text)
{
    for (const QStringView line : QStringView(text).split(u'\n')) {
        const qsizetype colon = line.indexOf(u':');
        const QStringView key = line.left(colon).trimmed();
        if (colon < 0 || (key.compare(u"refer", Qt::CaseInsensitive) != 0 &&
                          key.compare(u"ReferralServer", Qt::CaseInsensitive) != 0))
            continue;
        QStringView value = line.mid(colon + 1).trimmed();
        if (value.startsWith(u"whois://", Qt::CaseInsensitive))
            value = value.mid(8);
        else if (value.contains(u"://"))
            continue; // rwhois:// and others speak another protocol
        if (value.endsWith(u'/'))
            value.chop(1);
        if (!value.isEmpty() && !value.contains(u' '))
            return value.toString();
    }
    return {};
}
