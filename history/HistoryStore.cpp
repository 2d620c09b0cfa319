#include "history/HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

Q_LOGGING_CATEGORY(lcHistory, "vistrel.history")

namespace {
constexpr int SchemaVersion = 1;
// A writer waits this long for a reader (another process printing the history) before the write counts as failed:
// it runs on the window's thread, so not for long; a change it could not write is kept and goes with a later write.
// A reader waits longer: it has nothing else to do.
constexpr int WriterBusyMs = 250;
constexpr int ReaderBusyMs = 3000;

const QStringList Columns = {QStringLiteral("id"), QStringLiteral("at_ms"), QStringLiteral("kind"),
                             QStringLiteral("old"), QStringLiteral("new")};

// Every entry comes out of this one column list: the row, and the time of the kind's change before it.
const char* const SelectEntries = "SELECT c.id, c.at_ms, c.kind, c.old, c.new, "
                                  "(SELECT p.at_ms FROM changes p WHERE p.kind = c.kind AND p.id < c.id "
                                  "ORDER BY p.id DESC LIMIT 1) FROM changes c";

QString kindCondition(HistoryKinds kinds)
{
    if ((kinds & AllHistoryKinds) == AllHistoryKinds)
        return QString(); // also rows whose kind is no known one
    QStringList numbers;
    for (int kind = 0; kind < HistoryEntry::KindCount; ++kind) {
        if (kinds & (1u << kind))
            numbers << QString::number(kind);
    }
    return QStringLiteral("c.kind IN (%1)").arg(numbers.isEmpty() ? QStringLiteral("NULL") : numbers.join(u','));
}

std::optional<qint64> number(const QVariant& value)
{
    bool ok = false; // NULL, and text that is no number, count as none
    const qint64 n = value.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

QString errorText(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}
} // namespace

HistoryStore::HistoryStore(const QString& path, Access access, QObject* parent)
    : QObject(parent), m_path(path),
      m_connection(QStringLiteral("vistrel-history-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)), m_access(access)
{
}

HistoryStore::~HistoryStore()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool HistoryStore::exists() const
{
    return QFileInfo(m_path).isFile();
}

QString HistoryStore::asideName(const QString& path, qint64 atMs)
{
    const QString stamp = QDateTime::fromMSecsSinceEpoch(atMs, Qt::UTC).toString(u"yyyyMMdd'T'HHmmsszzz'Z'");
    QString base = path;
    if (base.endsWith(QLatin1String(".sqlite")))
        base.chop(7);
    return QStringLiteral("%1.%2.sqlite").arg(base, stamp);
}

bool HistoryStore::open(QString* error)
{
    if (m_open)
        return true;
    QString reason;
    m_open = openFile(&reason);
    if (!m_open && error)
        *error = reason;
    return m_open;
}

bool HistoryStore::openFile(QString* error)
{
    const bool readOnly = m_access == Access::ReadOnly;
    if (readOnly && !exists()) {
        *error = QStringLiteral("No history has been recorded yet (%1).").arg(m_path);
        return false;
    }
    if (!readOnly && !QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        *error = QStringLiteral("History: the folder of %1 cannot be made.").arg(m_path);
        emit problem(*error);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(ReaderBusyMs)
                                  : QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(WriterBusyMs));
    QString reason;
    if (db.open() && usable(&reason))
        return true;
    if (reason.isEmpty())
        reason = errorText(db.lastError());
    db.close();
    if (readOnly) {
        *error = QStringLiteral("The history %1 cannot be read: %2.").arg(m_path, reason);
        return false;
    }
    const bool movedAside = setAside(reason);
    if (!movedAside || !db.open() || !usable(&reason)) {
        db.close();
        *error = QStringLiteral("History: %1 cannot be used (%2)%3; changes are not recorded.")
                     .arg(m_path, reason, movedAside ? QString() : QStringLiteral(" nor moved aside"));
        emit problem(*error);
        return false;
    }
    return true;
}

bool HistoryStore::usable(QString* error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        *error = errorText(query.lastError());
        return false;
    }
    const int version = query.value(0).toInt();
    query.finish();
    if (version == 0 && m_access == Access::ReadWrite) {
        if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()) {
            *error = errorText(query.lastError());
            return false;
        }
        if (query.value(0).toInt() != 0) {
            *error = QStringLiteral("it holds other tables");
            return false;
        }
        query.finish();
        // Each address change is one row; the kind index finds a kind's previous change, the time index a period.
        const QStringList schema = {
            QStringLiteral("CREATE TABLE changes (id INTEGER PRIMARY KEY, at_ms INTEGER NOT NULL, "
                           "kind INTEGER NOT NULL, old TEXT NOT NULL, new TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX changes_kind ON changes (kind)"),
            QStringLiteral("CREATE INDEX changes_time ON changes (at_ms)"),
            QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)};
        db.transaction();
        for (const QString& statement : schema) {
            if (!query.exec(statement)) {
                *error = errorText(query.lastError());
                db.rollback();
                return false;
            }
        }
        return db.commit() || (*error = errorText(db.lastError()), false);
    }
    if (version != SchemaVersion) {
        *error = QStringLiteral("it is of another version (%1)").arg(version);
        return false;
    }
    QStringList columns;
    if (!query.exec(QStringLiteral("PRAGMA table_info(changes)"))) {
        *error = errorText(query.lastError());
        return false;
    }
    while (query.next())
        columns << query.value(1).toString();
    if (columns != Columns) {
        *error = QStringLiteral("its table is of another shape");
        return false;
    }
    if (m_access == Access::ReadWrite) {
        // Damage anywhere in the file shows here, before a write would spread it.
        if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next()) {
            *error = errorText(query.lastError());
            return false;
        }
        if (const QString verdict = query.value(0).toString(); verdict != QLatin1String("ok")) {
            *error = QStringLiteral("it is damaged: %1").arg(verdict.left(200));
            return false;
        }
    }
    return true;
}

bool HistoryStore::setAside(const QString& reason)
{
    const QString aside = asideName(m_path, QDateTime::currentMSecsSinceEpoch());
    if (QFileInfo::exists(m_path) && !QFile::rename(m_path, aside))
        return false; // open() tells
    // A journal left by a write that never ended belongs to the file it was for.
    const QString journal = m_path + QStringLiteral("-journal");
    if (QFileInfo::exists(journal))
        QFile::rename(journal, aside + QStringLiteral("-journal"));
    emit problem(QStringLiteral("History: %1 could not be used (%2); it was moved to %3 and a new one started.")
                     .arg(m_path, reason, QFileInfo(aside).fileName()));
    return true;
}

QString HistoryStore::unwrittenPath() const
{
    QString base = m_path;
    if (base.endsWith(QLatin1String(".sqlite")))
        base.chop(7);
    return base + QStringLiteral(".unwritten");
}

// Once per store: what an earlier run (or an earlier store on the file) could not write comes before anything new.
void HistoryStore::readUnwritten()
{
    if (m_unwrittenRead)
        return;
    m_unwrittenRead = true;
    QFile file(unwrittenPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    QList<UnwrittenChanges::Change> kept =
        UnwrittenChanges::parse(file.read(UnwrittenChanges::MaxFileBytes), HistoryEntry::KindCount);
    kept += m_unwritten;
    m_unwritten = kept.mid(qMax<qsizetype>(0, kept.size() - UnwrittenChanges::MaxChanges));
}

// Keeps what could not be written where the next run finds it, and says so once for this failure.
bool HistoryStore::keepUnwritten(const QString& reason)
{
    QSaveFile file(unwrittenPath());
    const bool kept = file.open(QIODevice::WriteOnly) &&
                      file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                      file.write(UnwrittenChanges::format(m_unwritten)) >= 0 && file.commit();
    const qsizetype count = m_unwritten.size();
    const QString what = count == 1 ? QStringLiteral("a change") : QStringLiteral("%1 changes").arg(count);
    if (kept) {
        if (!reason.isEmpty()) {
            emit problem(QStringLiteral("History: %1 could not be recorded yet (%2); %3 kept in %4 and written with "
                                        "the next one.")
                             .arg(what, reason, count == 1 ? QStringLiteral("it is") : QStringLiteral("they are"),
                                  QFileInfo(file.fileName()).fileName()));
        }
    } else {
        emit problem(QStringLiteral("History: %1 could not be recorded%2 nor kept in %3 (%4); tried again with the "
                                    "next one while the program runs.")
                         .arg(what, reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason), file.fileName(),
                              file.errorString()));
    }
    return false;
}

bool HistoryStore::record(int kind, const QString& before, const QString& after, qint64 atMs)
{
    if (kind < 0 || kind >= HistoryEntry::KindCount || m_access == Access::ReadOnly)
        return false;
    readUnwritten();
    for (auto it = m_unwritten.crbegin(); it != m_unwritten.crend(); ++it) {
        if (it->kind == kind) {
            if (it->after == after)
                return writeUnwritten(); // announced again before it was written
            break;
        }
    }
    if (m_unwritten.size() >= UnwrittenChanges::MaxChanges)
        m_unwritten.removeFirst();
    m_unwritten.append({atMs, kind, before, after});
    return writeUnwritten();
}

bool HistoryStore::writeUnwritten()
{
    if (m_access == Access::ReadOnly)
        return false;
    readUnwritten();
    if (m_unwritten.isEmpty())
        return true;
    if (!open())
        return keepUnwritten(QString()); // open() has told why

    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    const auto fail = [&](const QSqlError& error) {
        db.rollback();
        return keepUnwritten(errorText(error));
    };
    if (!db.transaction())
        return fail(db.lastError());
    qint64 written = 0;
    for (const UnwrittenChanges::Change& change : std::as_const(m_unwritten)) {
        query.prepare(QStringLiteral("SELECT new FROM changes WHERE kind = ? ORDER BY id DESC LIMIT 1"));
        query.addBindValue(change.kind);
        if (!query.exec())
            return fail(query.lastError());
        const bool recordedBefore = query.next() && query.value(0).toString() == change.after;
        query.finish();
        if (recordedBefore)
            continue;
        query.prepare(QStringLiteral("INSERT INTO changes (at_ms, kind, old, new) VALUES (?, ?, ?, ?)"));
        query.addBindValue(change.atMs);
        query.addBindValue(change.kind);
        query.addBindValue(change.before);
        query.addBindValue(change.after);
        if (!query.exec())
            return fail(query.lastError());
        ++written;
    }
    // The bound: everything older than the newest MaxEntries goes in one statement.
    query.prepare(QStringLiteral("DELETE FROM changes WHERE id <= (SELECT id FROM changes ORDER BY id DESC LIMIT 1 "
                                 "OFFSET ?)"));
    query.addBindValue(MaxEntries);
    if (!query.exec())
        return fail(query.lastError());
    if (!db.commit())
        return fail(db.lastError());
    m_unwritten.clear();
    if (QFile kept(unwrittenPath()); kept.exists() && !kept.remove()) {
        // Left, it would bring these changes back at the next start (where one is still its kind's newest, it is
        // skipped).
        emit problem(QStringLiteral("History: %1 cannot be removed (%2).").arg(kept.fileName(), kept.errorString()));
    }
    if (written > 0)
        emit recorded();
    return true;
}

QList<HistoryEntry> HistoryStore::select(const QString& where, const QString& order, const QVariantList& values)
{
    QList<HistoryEntry> entries;
    if (!open(&m_lastError))
        return entries;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QString::fromLatin1(SelectEntries) +
                  (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where) + QStringLiteral(" ORDER BY ") +
                  order);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        m_lastError = errorText(query.lastError());
        qCWarning(lcHistory) << "reading" << m_path << "failed:" << m_lastError;
        return entries;
    }
    while (query.next()) {
        HistoryEntry entry;
        entry.id = query.value(0).toLongLong();
        entry.atMs = number(query.value(1)).value_or(0);
        entry.kind = int(number(query.value(2)).value_or(-1));
        entry.before = query.value(3).toString();
        entry.after = query.value(4).toString();
        const std::optional<qint64> at = number(query.value(1)), previous = number(query.value(5));
        if (at && previous)
            entry.lastedMs = *at - *previous;
        entries.append(entry);
    }
    if (query.lastError().isValid())
        m_lastError = errorText(query.lastError());
    return entries; // the statement ends here, and with it the read lock
}

qint64 HistoryStore::count(HistoryKinds kinds)
{
    if (!open(&m_lastError))
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    const QString where = kindCondition(kinds);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM changes c") +
                    (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where)) ||
        !query.next()) {
        m_lastError = errorText(query.lastError());
        return 0;
    }
    return query.value(0).toLongLong();
}

QList<HistoryEntry> HistoryStore::page(HistoryKinds kinds, qint64 offset, int limit)
{
    return select(kindCondition(kinds), QStringLiteral("c.id DESC LIMIT ? OFFSET ?"), {limit, offset});
}

QList<HistoryEntry> HistoryStore::all(HistoryKinds kinds)
{
    return select(kindCondition(kinds), QStringLiteral("c.id"), {});
}

QList<HistoryEntry> HistoryStore::period(qint64 fromMs, qint64 toMs, HistoryKinds kinds)
{
    QList<HistoryEntry> entries;
    for (int kind = 0; kind < HistoryEntry::KindCount; ++kind) {
        if (kinds & (1u << kind))
            entries += select(QStringLiteral("c.kind = ? AND c.at_ms < ?"), QStringLiteral("c.id DESC LIMIT 1"),
                              {kind, fromMs});
    }
    const QString where = kindCondition(kinds);
    entries += select(QStringLiteral("c.at_ms >= ? AND c.at_ms < ?") +
                          (where.isEmpty() ? QString() : QStringLiteral(" AND ") + where),
                      QStringLiteral("c.at_ms, c.id"), {fromMs, toMs});
    return entries;
}

std::optional<qint64> HistoryStore::beginning()
{
    if (!open(&m_lastError))
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT min(at_ms) FROM changes")) || !query.next())
        return std::nullopt;
    return number(query.value(0));
}
