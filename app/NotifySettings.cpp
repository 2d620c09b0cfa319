#include "app/NotifySettings.h"

#include "app/Settings.h"

bool flagFromText(const QString& text)
{
    bool ok = false;
    return text.trimmed().toInt(&ok) == 1 && ok;
}

void LoadNotifySettings(const Settings& settings, NotifySettings& values)
{
    const auto read = [&settings](const char* key, const QString& defaultValue) {
        return settings.read(QLatin1String(key), defaultValue);
    };
    values.emailTo = read("strEmailTo", QLatin1String(NotifySettings::PlaceholderAddress));
    values.emailFrom = read("strEmailFrom", QLatin1String(NotifySettings::PlaceholderAddress));
    values.server = read("strServer", QLatin1String(NotifySettings::PlaceholderServer));
    values.port = read("strPort", QStringLiteral("25"));
    values.username = read("strUsername", QString());
    values.password = read("strPassword", QString());
    values.url = read("strurl", QString());
    values.program = read("strProg", QString());
    values.arguments = read("strCommands", QString());
    values.encoding = read("strEncoding", QStringLiteral("MIME"));
    values.body = read("txtBody", QLatin1String(NotifySettings::DefaultBody));
    values.useAuth = flagFromText(read("chkAuth", QStringLiteral("0")));
    values.useSsl = flagFromText(read("chkSSL", QStringLiteral("0")));
    values.useBody = flagFromText(read("chkBody", QStringLiteral("0")));
}
