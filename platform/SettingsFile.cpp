#include "platform/SettingsFile.h"

#include <algorithm>

// The file's reading, writing and locking are the system's: see the platform's folder.

QString SettingsFile::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    return value(section, key).value_or(defaultValue);
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
