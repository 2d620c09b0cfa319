#pragma once

#include "core/SettingsKeys.h"
#include "platform/SettingsFile.h"

#include <QObject>
#include <QString>

#include <optional>

/// The program's settings: the section "Settings" of the per-user store named after the product, each key as
/// SettingsKeys describes it. Every read asks the store (which parses the file again only when it changed); every
/// write is on disk when it returns.
class Settings : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* Section = "Settings";

    explicit Settings(QString path);

    /// The stored text, or the key's default.
    QString read(Key key) const;
    /// The stored text; nothing when the file has no such key.
    std::optional<QString> stored(Key key) const;

    /// A whole number in the key's range; anything else stored (not a number, out of range) counts as the
    /// default, so a hand-edited file cannot push a control out of its range. @p defaultValue replaces the
    /// table's where it depends on how the program runs.
    int readInt(Key key) const { return readInt(key, keyInfo(key).defaultNumber); }
    int readInt(Key key, int defaultValue) const;
    /// A check box: true exactly when the stored number is 1.
    bool readFlag(Key key) const { return readInt(key) == 1; }

    /// Writes at once and then emits changed. A store that cannot be written is logged and its reason returned,
    /// never thrown.
    StoreResult write(Key key, const QString& value);
    StoreResult write(Key key, int value) { return write(key, QString::number(value)); }
    StoreResult writeFlag(Key key, bool on) { return write(key, on ? 1 : 0); }
    /// Several keys in one write: after a crash the store holds all of them or none (the registry excepted: see
    /// SettingsFile::write). Emits changed for each once written.
    StoreResult write(const QList<std::pair<Key, QString>>& values);

    /// Any key by its stored name, for what names keys outside the table (tests, tools); a name the table has
    /// reads and writes as that key.
    QString read(const QString& name, const QString& defaultValue) const;
    StoreResult write(const QString& name, const QString& value);
    StoreResult write(const QString& name, int value) { return write(name, QString::number(value)); }

    /// The key the table has under @p name (compared without regard to case, as the file does).
    static std::optional<Key> keyNamed(const QString& name);

    const QString& path() const { return m_file.path(); }

    /// At the start of the one process that writes the store: what writes cut short left behind goes, and a file
    /// that holds a secret is made private. One line for the log per thing done or failed.
    QStringList tidyUp();

signals:
    /// After each write that reached the file (also one that found the value already stored).
    void changed(Key key);

private:
    StoreResult store(const QString& name, const QString& value, std::optional<Key> key);

    SettingsFile m_file;
};
