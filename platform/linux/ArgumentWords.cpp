#include "platform/ArgumentWords.h"

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

} // namespace

bool splitArgumentText(const QString& text, QStringList* words, QString* error)
{
    words->clear();
    QString word;
    bool inWord = false;  // a word has begun, even an empty quoted one
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text.at(i);
        if (isBlank(c)) {
            if (inWord) {
                words->append(word);
                word.clear();
                inWord = false;
            }
            ++i;
        } else if (c == QLatin1Char('\'')) {
            const qsizetype end = text.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0) {
                *error = QStringLiteral("unterminated single quote");
                return false;
            }
            word += text.mid(i + 1, end - i - 1);
            inWord = true;
            i = end + 1;
        } else if (c == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar d = text.at(i);
                if (d == QLatin1Char('"')) {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == QLatin1Char('\\') && i + 1 < n) {
                    const QChar e = text.at(i + 1);
                    if (e == QLatin1Char('\n')) {
                        i += 2;
                        continue;
                    }
                    if (e == QLatin1Char('$') || e == QLatin1Char('`') || e == QLatin1Char('"')
                        || e == QLatin1Char('\\')) {
                        word += e;
                        i += 2;
                        continue;
                    }
                }
                word += d;
                ++i;
            }
            if (!closed) {
                *error = QStringLiteral("unterminated double quote");
                return false;
            }
            inWord = true;
        } else if (c == QLatin1Char('\\')) {
            if (i + 1 >= n) {
                *error = QStringLiteral("backslash at the end");
                return false;
            }
            const QChar e = text.at(i + 1);
            if (e != QLatin1Char('\n')) {
                word += e;
                inWord = true;
            }
            i += 2;
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    if (inWord)
        words->append(word);
    return true;
}
