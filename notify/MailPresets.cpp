#include "notify/MailPresets.h"

namespace {

struct Provider
{
    const char* name;
    const char* server;
    const char* port;
    const char* domain; // of the account's address, for the hint
    MailSecurity security;
};

// The providers' own submission settings as each documents them: each wants TLS (on 587 after STARTTLS, or on
// 465 from the first byte) and an app password. None logs in without encryption.
constexpr Provider Providers[] = {
    {"Gmail", "smtp.gmail.com", "587", "gmail.com", MailSecurity::StartTls},
    {"Outlook", "smtp-mail.outlook.com", "587", "outlook.com", MailSecurity::StartTls},
    {"Yahoo", "smtp.mail.yahoo.com", "465", "yahoo.com", MailSecurity::Tls},
    {"iCloud", "smtp.mail.me.com", "587", "icloud.com", MailSecurity::StartTls},
    {"Fastmail", "smtp.fastmail.com", "465", "fastmail.com", MailSecurity::Tls},
    {"AOL", "smtp.aol.com", "465", "aol.com", MailSecurity::Tls},
};

} // namespace

QStringList mailPresetNames()
{
    QStringList names;
    for (const Provider& p : Providers)
        names << QLatin1String(p.name);
    return names;
}

std::optional<MailPreset> mailPresetFor(const QString& entry)
{
    const QString name = entry.toLower();
    for (const Provider& p : Providers) {
        if (name != QLatin1String(p.name).toString().toLower())
            continue;
        const QString login = QStringLiteral("your full address (name@%1)").arg(QLatin1String(p.domain));
        const QString hint = QStringLiteral("%1: the user name is %2; use an app password made in the account's "
                                            "security settings, not the account's own password.")
                                 .arg(QLatin1String(p.name), login);
        return MailPreset{QLatin1String(p.server), QLatin1String(p.port), p.security, hint};
    }
    return std::nullopt;
}
