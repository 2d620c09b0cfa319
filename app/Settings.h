#pragma once

#include "platform/SettingsFile.h"

#include <QString>

/// The program's settings: the section "Settings" of the per-user store named after the product.
/// Every read asks the store (which parses the file again only when it changed); every write is on disk when it
/// returns.
class Settings
{
public:
    static constexpr const char* Section = "Settings";

    explicit Settings(QString path);

    QString read(const QString& key, const QString& defaultValue) const;

    /// A whole number in [@p min, @p max]; anything else stored (not a number, out of range) counts as
    /// @p defaultValue, so a hand-edited file cannot push a control out of its range.
    int readInt(const QString& key, int defaultValue, int min, int max) const;

    /// Writes at once. A store that cannot be written is logged and its reason returned, never thrown.
    StoreResult write(const QString& key, const QString& value);
    StoreResult write(const QString& key, int value) { return write(key, QString::number(value)); }

    const QString& path() const { return m_file.path(); }

private:
    SettingsFile m_file;
};
