#include "app/Settings.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSettings, "vistrel.settings")

Settings::Settings(QString path) : m_file(std::move(path))
{
    // The mail password, where no keyring keeps it.
    m_file.setSecretKey(QLatin1String(Section), QStringLiteral("strPassword"));
}

QString Settings::read(const QString& key, const QString& defaultValue) const
{
    return m_file.read(QLatin1String(Section), key, defaultValue);
}

int Settings::readInt(const QString& key, int defaultValue, int min, int max) const
{
    bool ok = false;
    const int value = read(key, QString::number(defaultValue)).trimmed().toInt(&ok);
    return ok && value >= min && value <= max ? value : defaultValue;
}

StoreResult Settings::write(const QString& key, const QString& value)
{
    StoreResult result = m_file.write(QLatin1String(Section), key, value);
    if (!result)
        qCWarning(lcSettings) << "setting" << key << "not saved:" << result.reason;
    return result;
}
