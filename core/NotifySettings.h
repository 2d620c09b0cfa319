#pragma once

#include <QString>

#include <optional>

class Settings;

/// How the mail connection is secured: the setting mailSecurity's values, in the dialog's order.
enum class MailSecurity
{
    None,     // plain SMTP
    StartTls, // plain SMTP upgraded by STARTTLS (RFC 3207), usually port 587
    Tls,      // TLS from the first byte (RFC 8314), usually port 465
    Ssl2,     // the legacy SSL 2.0 channel ("chkSSL" 1 in older files)
};

/// The notification settings held in memory from start-up to exit. The configuration dialog writes
/// each field here and to the store together; the notifiers read them here.
struct NotifySettings
{
    QString emailTo;
    QString emailFrom;
    QString server;
    QString port;
    QString username;
    QString password;
    QString url;
    QString program;
    QString arguments;
    QString encoding;
    QString body;
    QString trustedCertificates; // a PEM file of certificates trusted for mail besides the system's
    MailSecurity security = MailSecurity::None;
    bool useAuth = false;
    bool useBody = false;
};

/// Reads the notification keys into @p values, in the store's documented order. Writes nothing.
void LoadNotifySettings(const Settings& settings, NotifySettings& values);

/// The stored text of @p security: "none", "starttls", "tls" or "ssl2".
QString mailSecurityText(MailSecurity security);
/// The security a stored text names (compared in small letters, blanks ignored); nothing for any other text.
std::optional<MailSecurity> mailSecurityFromText(const QString& text);
