#include "history/HistoryText.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <array>

QString HistoryText::kindName(int kind)
{
    switch (kind) {
    case HistoryEntry::Internal:
        return QStringLiteral("Internal");
    case HistoryEntry::External:
        return QStringLiteral("External");
    case HistoryEntry::ExternalIPv6:
        return QStringLiteral("External IPv6");
    case HistoryEntry::Nat:
        return QStringLiteral("NAT");
    case HistoryEntry::IPv6Prefix:
        return QStringLiteral("IPv6 prefix");
    default:
        return QStringLiteral("?");
    }
}

int HistoryText::kindOf(const QString& name)
{
    for (int kind = 0; kind < HistoryEntry::KindCount; ++kind) {
        if (kindName(kind) == name)
            return kind;
    }
    return -1;
}

QString HistoryText::time(qint64 atMs)
{
    return QDateTime::fromMSecsSinceEpoch(atMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString HistoryText::duration(std::optional<qint64> ms)
{
    if (!ms)
        return QString();
    const qint64 s = std::max<qint64>(*ms, 0) / 1000;
    const qint64 d = s / 86400, h = s % 86400 / 3600, m = s % 3600 / 60;
    if (d > 0)
        return QStringLiteral("%1 d %2 h").arg(d).arg(h);
    if (h > 0)
        return QStringLiteral("%1 h %2 min").arg(h).arg(m);
    if (m > 0)
        return QStringLiteral("%1 min %2 s").arg(m).arg(s % 60);
    return QStringLiteral("%1 s").arg(s);
}

QString HistoryText::printable(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QChar::ReplacementCharacter;
    }
    return result;
}

namespace {
std::array<QString, 5> fields(const HistoryEntry& entry)
{
    return {HistoryText::time(entry.atMs), HistoryText::kindName(entry.kind), HistoryText::printable(entry.before),
            HistoryText::printable(entry.after), QString()};
}

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"'))
        return text;
    return u'"' + QString(text).replace(u'"', QLatin1String("\"\"")) + u'"';
}
} // namespace

QString HistoryText::csv(const QList<HistoryEntry>& entries)
{
    QString out = QStringLiteral("time_utc,address,old,new,lasted_seconds\n");
    for (const HistoryEntry& entry : entries) {
        std::array<QString, 5> f = fields(entry);
        if (entry.lastedMs)
            f[4] = QString::number(std::max<qint64>(*entry.lastedMs, 0) / 1000);
        QStringList line;
        for (const QString& field : f)
            line << csvField(field);
        out += line.join(u',') + u'\n';
    }
    return out;
}

QString HistoryText::table(const QList<HistoryEntry>& entries)
{
    QList<std::array<QString, 5>> rows = {{QStringLiteral("When (UTC)"), QStringLiteral("Address"),
                                           QStringLiteral("Old"), QStringLiteral("New"),
                                           QStringLiteral("Old one lasted")}};
    for (const HistoryEntry& entry : entries) {
        std::array<QString, 5> f = fields(entry);
        f[4] = duration(entry.lastedMs);
        rows.append(f);
    }
    std::array<qsizetype, 5> widths{};
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    QString out;
    for (const auto& row : rows) {
        QString line;
        for (size_t i = 0; i < row.size(); ++i)
            line += row[i].leftJustified(i + 1 < row.size() ? widths[i] + 2 : 0);
        out += line.trimmed() + u'\n';
    }
    return out;
}
