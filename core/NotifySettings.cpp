#include "core/NotifySettings.h"

#include "core/Settings.h"

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
    values.emailTo = settings.read(Key::MailTo);
    values.emailFrom = settings.read(Key::MailFrom);
    values.server = settings.read(Key::MailServer);
    values.port = settings.read(Key::MailPort);
    values.username = settings.read(Key::MailUsername);
    values.password = settings.read(Key::MailPassword);
    values.url = settings.read(Key::Url);
    values.program = settings.read(Key::Program);
    values.arguments = settings.read(Key::Arguments);
    values.encoding = settings.read(Key::MailEncoding);
    values.body = settings.read(Key::MailBody);
    values.useAuth = settings.readFlag(Key::MailUseAuth);
    // Files written before mailSecurity existed say only whether the SSL 2.0 box was ticked, or, with a port
    // stored and no box, that the mail went without security; a new setup submits on 587 after STARTTLS.
    const bool oldSetup = settings.stored(Key::MailSsl2) || settings.stored(Key::MailPort);
    values.security = mailSecurityFromText(settings.read(Key::MailSecurity))
                          .value_or(settings.readFlag(Key::MailSsl2) ? MailSecurity::Ssl2
                                    : oldSetup                       ? MailSecurity::None
                                                                     : MailSecurity::StartTls);
    values.trustedCertificates = settings.read(Key::MailTrustedCertificates);
    values.useBody = settings.readFlag(Key::MailUseBody);
}
