#include "core/Settings.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSettings, "vistrel.settings")

Settings::Settings(QString path) : m_file(std::move(path))
{
    for (const KeyRow& row : SettingsKeys) {
        if (row.info.secret == Secret::Yes)
            m_file.addSecretKey(QLatin1String(Section), QLatin1String(row.info.name));
    }
}

QString Settings::read(Key key) const
{
    const KeyInfo& info = keyInfo(key);
    return m_file.read(QLatin1String(Section), QLatin1String(info.name),
                       info.type == KeyInfo::Type::Number ? QString::number(info.defaultNumber)
                                                          : QString::fromUtf8(info.defaultText));
}

std::optional<Key> Settings::keyNamed(const QString& name)
{
    for (const KeyRow& row : SettingsKeys) {
        if (name.compare(QLatin1String(row.info.name), Qt::CaseInsensitive) == 0)
            return row.key;
    }
    return std::nullopt;
}

std::optional<QString> Settings::stored(Key key) const
{
    return m_file.value(QLatin1String(Section), QLatin1String(keyInfo(key).name));
}

int Settings::readInt(Key key, int defaultValue) const
{
    const KeyInfo& info = keyInfo(key);
    bool ok = false;
    const int value = stored(key).value_or(QString()).trimmed().toInt(&ok);
    return ok && value >= info.min && value <= info.max ? value : defaultValue;
}

StoreResult Settings::write(Key key, const QString& value)
{
    return store(QLatin1String(keyInfo(key).name), value, key);
}

QString Settings::read(const QString& name, const QString& defaultValue) const
{
    return m_file.read(QLatin1String(Section), name, defaultValue);
}

StoreResult Settings::write(const QString& name, const QString& value)
{
    return store(name, value, keyNamed(name));
}

StoreResult Settings::store(const QString& name, const QString& value, std::optional<Key> key)
{
    StoreResult result = m_file.write(QLatin1String(Section), name, value);
    if (!result)
        qCWarning(lcSettings) << "setting" << name << "not saved:" << result.reason;
    else if (key)
        emit changed(*key);
    return result;
}
