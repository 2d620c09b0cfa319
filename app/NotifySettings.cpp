#include "app/NotifySettings.h"

#include "app/Settings.h"

bool flagFromText(const QString& text)
{
    bool ok = false;
    return text.trimmed().toInt(&ok) == 1 && ok;
}

QString mailSecurityText(MailSecurity security)
{
    switch (security) {
    case MailSecurity::None:
        return QStringLiteral("none");
    case MailSecurity::StartTls:
        return QStringLiteral("starttls");
    case MailSecurity::Tls:
        return QStringLiteral("tls");
    case MailSecurity::Ssl2:
        return QStringLiteral("ssl2");
    }
    return QStringLiteral("none");
}

std::optional<MailSecurity> mailSecurityFromText(const QString& text)
{
    const QString name = text.trimmed().toLower();
    for (const MailSecurity s : {MailSecurity::None, MailSecurity::StartTls, MailSecurity::Tls, MailSecurity::Ssl2}) {
        if (name == mailSecurityText(s))
            return s;
    }
    return std::nullopt;
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
    // Files written before mailSecurity existed say only whether the SSL 2.0 box was ticked.
    const bool useSsl = flagFromText(read("chkSSL", QStringLiteral("0")));
    values.security = mailSecurityFromText(read("mailSecurity", QString()))
                          .value_or(useSsl ? MailSecurity::Ssl2 : MailSecurity::None);
    values.trustedCertificates = read("mailTrustedCertificates", QString());
    values.useBody = flagFromText(read("chkBody", QStringLiteral("0")));
}
