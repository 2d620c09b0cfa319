#include "platform/SettingsFile.h"

#include "platform/SettingsStorage.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

Q_LOGGING_CATEGORY(lcStore, "vistrel.settings")

// What the file holds and when to read it again are decided here; reading, replacing and locking the file are the
// system's (SettingsStorage, in the platform's folder).

using SettingsStorage::FileVersion;

struct SettingsFile::Snapshot
{
    FileVersion version;
    std::optional<IniText> text; ///< nothing: the file is refused, see error
    QString error;

    static Snapshot read(const QString& path)
    {
        Snapshot snapshot;
        SettingsStorage::FileRead got = SettingsStorage::readFile(path);
        snapshot.version = got.version;
        if (!got.bytes)
            snapshot.error = got.error;
        else if (!got.version.exists)
            snapshot.text = IniText();
        else
            snapshot.text = IniText::parse(*got.bytes, &snapshot.error);
        return snapshot;
    }
};

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)), m_keyStore(SettingsStorage::keyStore(m_path)) {}

SettingsFile::~SettingsFile() = default;

bool SettingsFile::check(const QString& path, QString* error)
{
    if (!isFile(path))
        return true;
    const Snapshot snapshot = Snapshot::read(path);
    if (!snapshot.text && error)
        *error = snapshot.error;
    return snapshot.text.has_value();
}

const SettingsFile::Snapshot& SettingsFile::load() const
{
    const std::optional<FileVersion> now = SettingsStorage::versionOf(m_path);
    const bool stillMissing = now && !now->exists && m_snapshot && !m_snapshot->version.exists && m_snapshot->text;
    if (!m_snapshot || !(stillMissing || (now && m_snapshot->version.sameFile(*now)))) {
        m_snapshot = std::make_unique<Snapshot>(Snapshot::read(m_path));
        if (!m_snapshot->text)
            qCWarning(lcStore) << "settings file" << m_path << "refused:" << m_snapshot->error;
    }
    return *m_snapshot;
}

QString SettingsFile::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    return value(section, key).value_or(defaultValue);
}

std::optional<QString> SettingsFile::value(const QString& section, const QString& key) const
{
    if (m_keyStore)
        return m_keyStore->value(section, key);
    const Snapshot& snapshot = load();
    if (!snapshot.text)
        return std::nullopt;
    return snapshot.text->value(section, key);
}

bool SettingsFile::holdsSecret(const IniText& text) const
{
    for (const auto& [section, key] : m_secrets) {
        if (const std::optional<QString> secret = text.value(section, key); secret && !secret->isEmpty())
            return true;
    }
    return false;
}

bool SettingsFile::isTemporaryName(const QString& target, const QString& name)
{
    static const QString Infix = QStringLiteral(".tmp-");
    const qsizetype base = target.size() + Infix.size();
    if (name.size() != base + 6 || !name.startsWith(target) ||
        QStringView(name).sliced(target.size(), Infix.size()) != Infix)
        return false;
    return std::all_of(name.begin() + base, name.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    });
}

StoreResult SettingsFile::write(const QString& section, const QString& key, const QString& value)
{
    return write(section, {{key, value}});
}

StoreResult SettingsFile::write(const QString& section, const QList<std::pair<QString, QString>>& values)
{
    if (m_keyStore) {
        // One value at a time, in the order given: such a store has no write of several values at once, so a crash
        // may leave the first ones written and not the rest.
        for (const auto& [key, value] : values) {
            if (m_keyStore->value(section, key) == value)
                continue;
            if (StoreResult result = m_keyStore->write(section, key, value); !result)
                return result;
        }
        return {};
    }
    const Snapshot& current = load();
    if (!current.text)
        return {false, QStringLiteral("%1 is refused: %2").arg(m_path, current.error)};
    IniText text = *current.text;
    bool changed = false;
    for (const auto& [key, value] : values) {
        if (text.value(section, key) != value) {
            text.setValue(section, key, value);
            changed = true;
        }
    }
    if (!changed)
        return {};

    const QString target = resolve(m_path);
    if (current.version.links > 1)
        qCInfo(lcStore) << "settings file" << target << "has other names (hard links): they keep the settings as"
                        << "they were, this name gets a file of its own";
    QDir().mkpath(QFileInfo(target).absolutePath());
    std::optional<FileVersion> written;
    const StoreResult result =
        SettingsStorage::replaceFile(target, text.toBytes(), current.version, holdsSecret(text), &written);
    if (!result)
        return result;
    if (written) {
        auto snapshot = std::make_unique<Snapshot>();
        snapshot->version = *written;
        snapshot->text = std::move(text);
        m_snapshot = std::move(snapshot);
    } else {
        m_snapshot.reset(); // read again next time
    }
    return {};
}

SettingsFile::Tidied SettingsFile::tidyUp()
{
    Tidied tidied;
    if (m_keyStore)
        return tidied;
    const QString target = resolve(m_path);
    const QFileInfo info(target);
    // Only the holder of the instance lock calls this: no other write of this file can be under way.
    const QDir folder(info.absolutePath());
    // Every name compared as it is: a wildcard would take the file's own name for a pattern.
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!isTemporaryName(info.fileName(), name))
            continue;
        switch (SettingsStorage::removeLeftover(folder.filePath(name), &tidied.error)) {
        case SettingsStorage::Leftover::Removed:
            ++tidied.leftoversRemoved;
            break;
        case SettingsStorage::Leftover::Kept:
        case SettingsStorage::Leftover::Failed:
            break;
        }
    }
    const Snapshot& current = load();
    if (!current.version.exists || !current.text || !holdsSecret(*current.text))
        return tidied;
    if (SettingsStorage::makePrivate(target, current.version, &tidied.error)) {
        tidied.madePrivate = true;
        m_snapshot.reset(); // its mode changed
    }
    return tidied;
}
