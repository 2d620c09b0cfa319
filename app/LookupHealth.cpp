#include "app/LookupHealth.h"

#include "core/AddressWatcher.h"
#include "core/RefreshCycle.h"
#include "platform/OutsideText.h"
#include "platform/StatusLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <memory>

namespace {
const QString HistoryName = QStringLiteral("history.sqlite");
const QString HealthName = QStringLiteral("last-lookup");

bool save(const QString& path, const QByteArray& text, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path); // renamed over the old file: a reader sees the old line or the new one, never a part
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
} // namespace

QString LookupHealth::pathFor(const QString& historyPath)
{
    const QFileInfo history(historyPath);
    QString name = history.fileName();
    if (name.endsWith(HistoryName))
        name.chop(HistoryName.size());
    else
        name += QLatin1Char('.');
    return QDir(history.absolutePath()).filePath(name + HealthName);
}

QByteArray LookupHealth::text() const
{
    QByteArray line = ok ? "ok " : "failed ";
    line += at.toUTC().toString(Qt::ISODate).toLatin1();
    if (!ok && !status.isEmpty())
        line += ' ' + OutsideText::line(status).toUtf8();
    return line + '\n';
}

bool LookupHealth::parse(const QByteArray& bytes, LookupHealth* health, QString* error)
{
    const auto fail = [error](const QString& reason) {
        *error = reason;
        return false;
    };
    if (bytes.size() > MaxBytes)
        return fail(QStringLiteral("longer than %1 bytes").arg(MaxBytes));
    if (!bytes.endsWith('\n') || bytes.count('\n') != 1)
        return fail(QStringLiteral("not one line"));
    const QByteArray line = bytes.chopped(1);
    const qsizetype wordEnd = line.indexOf(' ');
    const QByteArray word = line.left(wordEnd);
    if (wordEnd < 0 || (word != "ok" && word != "failed"))
        return fail(QStringLiteral("no outcome"));
    const qsizetype timeEnd = line.indexOf(' ', wordEnd + 1);
    const QByteArray time = timeEnd < 0 ? line.mid(wordEnd + 1) : line.mid(wordEnd + 1, timeEnd - wordEnd - 1);
    const QDateTime at = QDateTime::fromString(QString::fromLatin1(time), Qt::ISODate);
    if (!time.endsWith('Z') || !at.isValid())
        return fail(QStringLiteral("no time"));
    if (word == "ok" && timeEnd >= 0)
        return fail(QStringLiteral("text after the time"));
    *health = {word == "ok", at, timeEnd < 0 ? QString() : OutsideText::line(line.mid(timeEnd + 1))};
    return true;
}

qint64 LookupHealth::maxAgeFor(int intervalSeconds)
{
    return 2 * (qint64(intervalSeconds) + RefreshCycle::MaxJitterSeconds) + 300;
}

int LookupHealth::report(const QString& path, qint64 maxAgeSeconds)
{
    QString line;
    LookupHealth health;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        line = file.exists() ? QStringLiteral("unhealthy: %1 cannot be read: %2").arg(path, file.errorString())
                             : QStringLiteral("unhealthy: no lookup recorded yet (%1)").arg(path);
    } else if (QString error; !parse(file.read(MaxBytes + 1), &health, &error)) {
        line = QStringLiteral("unhealthy: %1 is not a lookup's outcome: %2").arg(path, error);
    } else {
        const QString at = health.at.toString(Qt::ISODate);
        const qint64 age = health.at.secsTo(QDateTime::currentDateTimeUtc());
        if (!health.ok)
            line = QStringLiteral("unhealthy: the last lookup failed at %1: %2").arg(at, health.status);
        else if (age > maxAgeSeconds)
            line = QStringLiteral("unhealthy: the last lookup was at %1, %2 minutes ago: the watcher looks up no more")
                       .arg(at)
                       .arg(age / 60);
        else
            line = QStringLiteral("healthy: the last lookup succeeded at %1").arg(at);
    }
    std::printf("%s\n", qPrintable(line));
    return line.startsWith(QLatin1String("healthy")) ? 0 : 1;
}

void LookupHealth::record(AddressWatcher& watcher, const QString& path, StatusLog& log)
{
    struct Recording
    {
        QString status;
        bool failing = false;
    };
    const auto recording = std::make_shared<Recording>();
    QObject::connect(&watcher, &AddressWatcher::statusChanged, &watcher,
                     [recording](const QString& text) { recording->status = text; });
    QObject::connect(&watcher, &AddressWatcher::lookupFinished, &watcher, [recording, path, &log](bool ok) {
        const LookupHealth health{ok, QDateTime::currentDateTimeUtc(), recording->status};
        QString error;
        const bool saved = save(path, health.text(), &error);
        if (!saved && !recording->failing)
            log.write(QStringLiteral("The last lookup's outcome cannot be written to %1: %2").arg(path, error));
        recording->failing = !saved;
    });
}
