#include "history/UnwrittenChanges.h"

#include <optional>

namespace UnwrittenChanges {

namespace {

std::optional<qint64> decimal(const QByteArray& field, qsizetype maxDigits)
{
    if (field.isEmpty() || field.size() > maxDigits)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// What format() writes: unreserved characters and whole %XX escapes, nothing else.
std::optional<QString> address(const QByteArray& field)
{
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '%') {
            if (i + 2 >= field.size() || !isHex(field[i + 1]) || !isHex(field[i + 2]))
                return std::nullopt;
            i += 2;
        } else if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~')) {
            return std::nullopt;
        }
    }
    const QByteArray bytes = QByteArray::fromPercentEncoding(field);
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes) // not UTF-8: never written by format()
        return std::nullopt;
    return text;
}

} // namespace

QByteArray format(const QList<Change>& changes)
{
    QByteArray bytes;
    for (const Change& change : changes) {
        bytes += QByteArray::number(change.atMs) + ' ' + QByteArray::number(change.kind) + ' ' +
                 change.before.toUtf8().toPercentEncoding() + ' ' + change.after.toUtf8().toPercentEncoding() + '\n';
    }
    return bytes;
}

QList<Change> parse(const QByteArray& bytes, int kindCount)
{
    QList<Change> changes;
    qsizetype start = 0;
    while (start < bytes.size() && start < MaxFileBytes) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const QByteArray line = bytes.mid(start, end - start);
        start = end + 1;
        if (line.size() > MaxLineBytes)
            continue;
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 4)
            continue;
        const std::optional<qint64> atMs = decimal(fields[0], 15);
        const std::optional<qint64> kind = decimal(fields[1], 2);
        const std::optional<QString> before = address(fields[2]), after = address(fields[3]);
        if (!atMs || !kind || *kind >= kindCount || !before || !after)
            continue;
        if (changes.size() == MaxChanges)
            changes.removeFirst();
        changes.append({*atMs, int(*kind), *before, *after});
    }
    return changes;
}

} // namespace UnwrittenChanges
