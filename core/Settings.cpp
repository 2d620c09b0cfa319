#include "core/Settings.h"

#include <QLoggingCategory>
#include <QStringList>

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

StoreResult Settings::write(const QList<std::pair<Key, QString>>& values)
{
    QList<std::pair<QString, QString>> named;
    QStringList names;
    for (const auto& [key, value] : values) {
        named.append({QLatin1String(keyInfo(key).name), value});
        names << named.last().first;
    }
    const StoreResult result = m_file.write(QLatin1String(Section), named);
    if (!result) {
        qCWarning(lcSettings).noquote() << "settings" << names.join(QStringLiteral(", "))
                                        << "not saved:" << result.reason;
        return result;
    }
    for (const auto& item : values)
        emit changed(item.first);
    return result;
}

QStringList Settings::tidyUp()
{
    const SettingsFile::Tidied tidied = m_file.tidyUp();
    QStringList lines;
    if (tidied.leftoversRemoved > 0)
        lines << QStringLiteral("Removed %1 temporary file(s) that an interrupted write left beside %2")
                     .arg(tidied.leftoversRemoved)
                     .arg(path());
    if (tidied.madePrivate)
        lines << QStringLiteral("The settings file %1 held secrets readable by others; made private").arg(path());
    if (!tidied.error.isEmpty())
        lines << QStringLiteral("The settings file could not be tidied: %1").arg(tidied.error);
    return lines;
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
