#include "app/WatcherHistory.h"

#include "core/AddressWatcher.h"
#include "core/ProductInfo.h"
#include "history/HistoryText.h"
#include "platform/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

WatcherHistory::WatcherHistory(AddressWatcher& watcher, const QString& path, Qt::ConnectionType connection)
    : store(path)
{
    QObject::connect(&store, &HistoryStore::problem, &watcher, &AddressWatcher::setStatus, connection);
    QObject::connect(
        &watcher, &AddressWatcher::addressesChanged, &store,
        [this](const QList<AddressChange>& changes) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            triedThisLookup = true;
            for (const AddressChange& change : changes)
                store.record(HistoryText::kindOf(change.name), change.before, change.after, now);
        },
        connection);
    QObject::connect(
        &watcher, &AddressWatcher::natChanged, &store,
        [this](RouterCheck::Nat before, RouterCheck::Nat after) {
            triedThisLookup = true;
            store.record(HistoryEntry::Nat, RouterCheck::historyName(before), RouterCheck::historyName(after),
                         QDateTime::currentMSecsSinceEpoch());
        },
        connection);
    // Changes an earlier write could not record (also one of an earlier run) go in at the end of a lookup that
    // recorded nothing itself (a record writes them first): the file is not opened on the way to the first lookup,
    // nor waited for twice in one.
    QObject::connect(
        &watcher, &AddressWatcher::lookupFinished, &store,
        [this] {
            if (!std::exchange(triedThisLookup, false))
                store.writeUnwritten();
        },
        connection);
}

QString WatcherHistory::pathFor(const QString& settingsPath, const QString& defaultSettingsPath)
{
    if (QFileInfo(settingsPath).absoluteFilePath() == QFileInfo(defaultSettingsPath).absoluteFilePath()) {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        return QDir(data).filePath(LoadProductInfo().productName + QStringLiteral("/history.sqlite"));
    }
    return SettingsFile::resolve(settingsPath) + QStringLiteral(".history.sqlite");
}
