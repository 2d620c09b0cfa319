#pragma once

#include "history/UnwrittenChanges.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

/// One recorded change of one address.
struct HistoryEntry
{
    /// Which address changed. Stored as these numbers: never renumber.
    enum Kind
    {
        Internal = 0,
        External = 1,
        ExternalIPv6 = 2,
        Nat = 3,        ///< whether the line is behind another NAT: "public", "carrier-grade NAT", "second router"
        IPv6Prefix = 4, ///< the prefix of the machine's stable IPv6 address, "2001:db8:1:2::/64"
    };
    static constexpr int KindCount = 5;

    qint64 id = 0;
    qint64 atMs = 0; ///< UTC, milliseconds since 1970; 0 when the stored value is no number
    int kind = -1;   ///< a Kind, or another number a damaged row holds
    QString before;
    QString after;
    std::optional<qint64> lastedMs; ///< how long @c before was in place: since the kind's previous change

    bool operator==(const HistoryEntry&) const = default;
};

/// Kinds as a bit set (1 << Kind) for the queries that filter by kind.
using HistoryKinds = unsigned;
constexpr HistoryKinds AllHistoryKinds = (1u << HistoryEntry::KindCount) - 1;

/// The changes of the addresses, newest last, in an SQLite file: one table of (time, kind, old, new), bounded to
/// the newest MaxEntries rows. The file is opened on first use, not when the store is made, so that nothing of it
/// sits on the way to the first lookup. A writable store that cannot use its file (not a database, damaged, of
/// another shape, locked by someone else) moves it aside under a time-stamped name, says so once through problem(),
/// and starts a new one. A change that still cannot be written (another process reads the file for longer than a
/// writer waits) is one problem(), and is kept in unwrittenPath() until a later write takes it, also in a later run:
/// no change goes missing, and each is written in its turn, so that how long an address lasted stays right.
class HistoryStore : public QObject
{
    Q_OBJECT
public:
    enum class Access
    {
        ReadWrite,
        ReadOnly, ///< never creates, moves or changes the file
    };

    /// Newest changes kept. At three addresses changing every hour this is almost four years; a line whose address
    /// changes daily never reaches it. The file stays under 10 MB and a full one opens in the window in well under
    /// the 200 ms it may take.
    static constexpr int MaxEntries = 100000;

    explicit HistoryStore(const QString& path, Access access = Access::ReadWrite, QObject* parent = nullptr);
    ~HistoryStore() override;

    const QString& path() const { return m_path; }
    /// Opens the file now (otherwise the first call that needs it does). False when it cannot be used; a read-only
    /// store then says why in @p error, and so does a missing file ("no history").
    bool open(QString* error = nullptr);
    /// Whether the file exists (a read-only store opens nothing that does not).
    bool exists() const;

    /// Records that @p kind changed from @p before to @p after at @p atMs, after the changes not written before. A
    /// change the newest entry of the kind already ends in (the same lookup announced again after a restart) is not
    /// recorded twice. False when it could not be written (it is then kept).
    bool record(int kind, const QString& before, const QString& after, qint64 atMs);
    /// Writes the changes kept from an earlier write that failed, also one of an earlier run. True when none is left.
    bool writeUnwritten();
    /// Where changes wait that could not be written: "history.unwritten" beside "history.sqlite".
    QString unwrittenPath() const;

    /// How many entries of @p kinds there are.
    qint64 count(HistoryKinds kinds = AllHistoryKinds);
    /// @p limit entries of @p kinds from @p offset on, newest first, with how long each old address lasted.
    QList<HistoryEntry> page(HistoryKinds kinds, qint64 offset, int limit);
    /// Every entry of @p kinds, oldest first (for export).
    QList<HistoryEntry> all(HistoryKinds kinds = AllHistoryKinds);
    /// The entries from @p fromMs to @p toMs, oldest first, and before them the newest entry of each kind before
    /// @p fromMs (what was in place when the period began).
    QList<HistoryEntry> period(qint64 fromMs, qint64 toMs, HistoryKinds kinds = AllHistoryKinds);

    /// Why the last read failed (empty when none did).
    const QString& lastError() const { return m_lastError; }

    /// When the first entry kept was recorded (what lies before it is not known), or nothing when there is none.
    std::optional<qint64> beginning();

    /// The name a database that cannot be used gets: @p path with the UTC time of @p atMs before ".sqlite".
    static QString asideName(const QString& path, qint64 atMs);

signals:
    /// Something went wrong with the file: one line for the status (the file was moved aside, a write failed).
    void problem(const QString& text);
    /// An entry was recorded.
    void recorded();

private:
    bool openFile(QString* error);
    bool usable(QString* error);
    bool setAside(const QString& reason);
    void readUnwritten();
    bool keepUnwritten(const QString& reason);
    QList<HistoryEntry> select(const QString& where, const QString& order, const QVariantList& values);

    QString m_path;
    QString m_connection;
    QString m_lastError;
    QList<UnwrittenChanges::Change> m_unwritten; // recorded but not yet written (the last write failed), oldest first
    bool m_unwrittenRead = false;                // the file of an earlier run has been read into m_unwritten
    Access m_access;
    bool m_open = false;
};
