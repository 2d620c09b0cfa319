#include "rtf/RtfReader.h"

#include <QLoggingCategory>

#include <array>
#include <vector>

Q_LOGGING_CATEGORY(lcRtf, "vistrel.desktop.rtf")

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned bytes become U+FFFD.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

QChar fromCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(Cp1252High[byte - 0x80]);
    return QChar(byte);
}

constexpr int MaxWordLength = 32;   // longer control words are cut here and count as unknown
constexpr int MaxParamDigits = 10;  // longer parameters are read to their end but clamped
constexpr qint64 ParamLimit = 1 << 30;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Destinations whose text is not part of the document.
bool isSkippedDestination(const QByteArray& word)
{
    static const char* const names[] = {
        "fonttbl",  "colortbl", "stylesheet", "info",     "pict",       "object",     "header",  "headerl",
        "headerr",  "headerf",  "footer",     "footerl",  "footerr",    "footerf",    "footnote", "fldinst",
        "listtable", "listoverridetable", "rsidtbl", "generator", "filetbl", "revtbl", "themedata",
        "colorschememapping", "latentstyles", "datastore", "xmlnstbl", "bkmkstart", "bkmkend",
    };
    for (const char* name : names) {
        if (word == name)
            return true;
    }
    return false;
}

struct GroupState
{
    bool skip = false;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    int unicodeSkip = 1;  // \uc: fallback characters that follow each \u
    RtfAlignment alignment = RtfAlignment::Left;
};

class Parser
{
public:
    explicit Parser(const QByteArray& bytes) : m_data(bytes.constData()), m_size(bytes.size())
    {
        m_stack.reserve(RtfReader::MaxDepth + 1);
        m_stack.push_back(GroupState());
        m_doc.paragraphs.append(RtfParagraph());
    }

    RtfDocument run()
    {
        static const char header[] = "{\\rtf";
        if (m_size < 5 || QByteArray(m_data, 5) != QByteArray(header))
            problem(QStringLiteral("the text does not begin with {\\rtf"));
        while (m_pos < m_size) {
            const char c = m_data[m_pos];
            if (c == '{') {
                ++m_pos;
                openGroup();
            } else if (c == '}') {
                ++m_pos;
                closeGroup();
            } else if (c == '\\') {
                controlSequence();
            } else {
                ++m_pos;
                if (c == '\r' || c == '\n')
                    continue;  // line ends in the file are not text
                if (c == '\t')
                    character(QChar(u'\t'));
                else if (static_cast<unsigned char>(c) >= 0x20)
                    character(fromCp1252(static_cast<unsigned char>(c)));
            }
        }
        flushSurrogate();
        const int open = static_cast<int>(m_stack.size()) - 1 + m_overflow;
        if (open > 0)
            problem(QStringLiteral("%1 group(s) left open at the end").arg(open));
        finishParagraph();
        // A file that ends with \par leaves one empty paragraph behind it.
        if (m_doc.paragraphs.size() > 1 && m_doc.paragraphs.last().runs.isEmpty())
            m_doc.paragraphs.removeLast();
        return std::move(m_doc);
    }

private:
    GroupState& state() { return m_stack.back(); }

    void problem(const QString& text)
    {
        // A broken file could report the same fault for every byte; a few examples are enough.
        if (m_doc.problems.size() >= 20)
            return;
        m_doc.problems << text;
        qCDebug(lcRtf) << "at byte" << m_pos << text;
    }

    void openGroup()
    {
        m_pendingSkip = 0;
        if (static_cast<int>(m_stack.size()) > RtfReader::MaxDepth) {
            if (m_overflow == 0)
                problem(QStringLiteral("groups nested deeper than %1").arg(RtfReader::MaxDepth));
            ++m_overflow;
            return;
        }
        m_stack.push_back(m_stack.back());
    }

    void closeGroup()
    {
        m_pendingSkip = 0;
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (m_stack.size() <= 1) {
            problem(QStringLiteral("a } without its {"));
            return;
        }
        m_stack.pop_back();
    }

    void controlSequence()
    {
        ++m_pos;  // the backslash
        if (m_pos >= m_size) {
            problem(QStringLiteral("a \\ at the very end"));
            return;
        }
        const char c = m_data[m_pos];
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++m_pos;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            character(QChar(QLatin1Char(c)));
            break;
        case '\'':
            hexEscape();
            break;
        case '~':
            character(QChar(0x00A0));
            break;
        case '_':
            character(QChar(0x2011));
            break;
        case '-':
            break;  // optional hyphen
        case '*':
            state().skip = true;  // a destination this reader does not know
            break;
        case '\r':
        case '\n':
            paragraph();
            break;
        default:
            break;  // unknown control symbol
        }
    }

    void hexEscape()
    {
        const int high = m_pos < m_size ? hexValue(m_data[m_pos]) : -1;
        const int low = m_pos + 1 < m_size ? hexValue(m_data[m_pos + 1]) : -1;
        if (high < 0 || low < 0) {
            problem(QStringLiteral("a \\' without two hex digits"));
            return;  // the bytes after \' are read as they are
        }
        m_pos += 2;
        character(fromCp1252(static_cast<unsigned char>(high * 16 + low)));
    }

    void controlWord()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_size && isLetter(m_data[m_pos]))
            ++m_pos;
        const qsizetype length = m_pos - start;
        const QByteArray word(m_data + start, static_cast<qsizetype>(std::min<qsizetype>(length, MaxWordLength)));
        if (length > MaxWordLength)
            problem(QStringLiteral("a control word longer than %1 letters").arg(MaxWordLength));

        bool hasParam = false;
        qint64 param = 0;
        bool negative = false;
        if (m_pos + 1 < m_size && m_data[m_pos] == '-' && isDigit(m_data[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        int digits = 0;
        while (m_pos < m_size && isDigit(m_data[m_pos])) {
            hasParam = true;
            if (digits++ < MaxParamDigits)
                param = param * 10 + (m_data[m_pos] - '0');
            ++m_pos;
        }
        param = std::min(param, ParamLimit);
        if (negative)
            param = -param;
        if (m_pos < m_size && m_data[m_pos] == ' ')
            ++m_pos;  // the delimiter belongs to the word
        apply(word, hasParam, static_cast<int>(param));
    }

    void apply(const QByteArray& word, bool hasParam, int param)
    {
        GroupState& s = state();
        if (isSkippedDestination(word)) {
            s.skip = true;
            return;
        }
        const bool on = !hasParam || param != 0;
        if (word == "par") {
            paragraph();
        } else if (word == "line") {
            character(QChar(QChar::LineSeparator));
        } else if (word == "tab") {
            character(QChar(u'\t'));
        } else if (word == "pard") {
            s.alignment = RtfAlignment::Left;
        } else if (word == "plain") {
            s.bold = s.italic = s.underline = false;
            s.halfPoints = 24;
        } else if (word == "b") {
            s.bold = on;
        } else if (word == "i") {
            s.italic = on;
        } else if (word == "ul") {
            s.underline = on;
        } else if (word == "ulnone") {
            s.underline = false;
        } else if (word == "fs") {
            if (hasParam && param >= 2 && param <= 400)
                s.halfPoints = param;
        } else if (word == "ql") {
            s.alignment = RtfAlignment::Left;
        } else if (word == "qc") {
            s.alignment = RtfAlignment::Center;
        } else if (word == "qr") {
            s.alignment = RtfAlignment::Right;
        } else if (word == "qj") {
            s.alignment = RtfAlignment::Justify;
        } else if (word == "uc") {
            if (hasParam && param >= 0 && param <= 10)
                s.unicodeSkip = param;
        } else if (word == "u") {
            if (hasParam)
                unicode(param);
        } else if (word == "bullet") {
            character(QChar(0x2022));
        } else if (word == "endash") {
            character(QChar(0x2013));
        } else if (word == "emdash") {
            character(QChar(0x2014));
        } else if (word == "lquote") {
            character(QChar(0x2018));
        } else if (word == "rquote") {
            character(QChar(0x2019));
        } else if (word == "ldblquote") {
            character(QChar(0x201C));
        } else if (word == "rdblquote") {
            character(QChar(0x201D));
        }
        // Every other word (\rtf, \ansi, \deff, \f, \cf, \sa, ...) changes nothing this reader shows.
    }

    void unicode(int value)
    {
        if (value < 0)
            value += 65536;  // \u is a signed 16-bit number
        const bool skipping = state().skip;
        if (value >= 0 && value <= 0xFFFF && value != 0 && !skipping) {
            const QChar ch(static_cast<char16_t>(value));
            if (ch.isHighSurrogate()) {
                flushSurrogate();
                m_highSurrogate = ch;
            } else {
                emitChar(ch);
            }
        } else if (!skipping && value != 0) {
            emitChar(QChar(QChar::ReplacementCharacter));
        }
        m_pendingSkip = state().unicodeSkip;
    }

    // Text of the document, or the fallback after \u that is dropped.
    void character(QChar ch)
    {
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
            return;
        }
        if (state().skip)
            return;
        emitChar(ch);
    }

    void emitChar(QChar ch)
    {
        if (!m_highSurrogate.isNull()) {
            if (ch.isLowSurrogate()) {
                const QChar pair[2] = {m_highSurrogate, ch};
                append(QString(pair, 2));
                m_highSurrogate = QChar();
                return;
            }
            flushSurrogate();
        }
        if (ch.isSurrogate()) {
            append(QString(QChar(QChar::ReplacementCharacter)));
            return;
        }
        append(QString(ch));
    }

    void flushSurrogate()
    {
        if (!m_highSurrogate.isNull()) {
            m_highSurrogate = QChar();
            append(QString(QChar(QChar::ReplacementCharacter)));
        }
    }

    void append(const QString& text)
    {
        const GroupState& s = state();
        RtfRun format;
        format.bold = s.bold;
        format.italic = s.italic;
        format.underline = s.underline;
        format.halfPoints = s.halfPoints;
        QList<RtfRun>& runs = m_doc.paragraphs.last().runs;
        if (!runs.isEmpty() && runs.last().sameFormat(format)) {
            runs.last().text += text;
        } else {
            format.text = text;
            runs.append(std::move(format));
        }
    }

    void finishParagraph() { m_doc.paragraphs.last().alignment = state().alignment; }

    void paragraph()
    {
        if (state().skip)
            return;
        flushSurrogate();
        finishParagraph();
        m_doc.paragraphs.append(RtfParagraph());
    }

    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    std::vector<GroupState> m_stack;
    int m_overflow = 0;
    int m_pendingSkip = 0;
    QChar m_highSurrogate;
    RtfDocument m_doc;
};

} // namespace

RtfDocument RtfReader::read(const QByteArray& bytes)
{
    return Parser(bytes).run();
}
