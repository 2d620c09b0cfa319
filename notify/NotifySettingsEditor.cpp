#include "notify/NotifySettingsEditor.h"

#include "core/NotifySettings.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"

Key NotifySettingsEditor::key(Text field)
{
    switch (field) {
    case Text::Server:
        return Key::MailServer;
    case Text::Port:
        return Key::MailPort;
    case Text::EmailTo:
        return Key::MailTo;
    case Text::EmailFrom:
        return Key::MailFrom;
    case Text::Username:
        return Key::MailUsername;
    case Text::Password:
        return Key::MailPassword;
    case Text::Encoding:
        return Key::MailEncoding;
    case Text::Body:
        return Key::MailBody;
    case Text::Url:
        return Key::Url;
    case Text::Program:
        return Key::Program;
    case Text::Arguments:
        return Key::Arguments;
    case Text::TrustedCertificates:
        return Key::MailTrustedCertificates;
    }
    return Key::MailServer;
}

Key NotifySettingsEditor::key(Flag field)
{
    return field == Flag::Auth ? Key::MailUseAuth : Key::MailUseBody;
}

void NotifySettingsEditor::setText(Text field, const QString& value)
{
    if (field == Text::Password && m_passwords) {
        m_passwords->save(value);
        return;
    }
    QString* target = nullptr;
    switch (field) {
    case Text::Server: target = &m_values.server; break;
    case Text::Port: target = &m_values.port; break;
    case Text::EmailTo: target = &m_values.emailTo; break;
    case Text::EmailFrom: target = &m_values.emailFrom; break;
    case Text::Username: target = &m_values.username; break;
    case Text::Password: target = &m_values.password; break;
    case Text::Encoding: target = &m_values.encoding; break;
    case Text::Body: target = &m_values.body; break;
    case Text::Url: target = &m_values.url; break;
    case Text::Program: target = &m_values.program; break;
    case Text::Arguments: target = &m_values.arguments; break;
    case Text::TrustedCertificates:
        target = &m_values.trustedCertificates;
        break;
    }
    m_settings.write(key(field), value);
    if (target)
        *target = value;
}

void NotifySettingsEditor::setFlag(Flag field, bool on)
{
    m_settings.writeFlag(key(field), on);
    switch (field) {
    case Flag::Auth:
        m_values.useAuth = on;
        break;
    case Flag::Body: m_values.useBody = on; break;
    }
}

void NotifySettingsEditor::setSecurity(MailSecurity security)
{
    m_settings.write(Key::MailSecurity, mailSecurityText(security));
    m_settings.writeFlag(Key::MailSsl2, security == MailSecurity::Ssl2);
    m_values.security = security;
}
