#include "notify/NotifySettingsEditor.h"

#include "app/NotifySettings.h"
#include "app/Settings.h"
#include "keyring/PasswordStore.h"

QString NotifySettingsEditor::key(Text field)
{
    switch (field) {
    case Text::Server: return QStringLiteral("strServer");
    case Text::Port: return QStringLiteral("strPort");
    case Text::EmailTo: return QStringLiteral("strEmailTo");
    case Text::EmailFrom: return QStringLiteral("strEmailFrom");
    case Text::Username: return QStringLiteral("strUsername");
    case Text::Password: return QStringLiteral("strPassword");
    case Text::Encoding: return QStringLiteral("strEncoding");
    case Text::Body: return QStringLiteral("txtBody");
    case Text::Url: return QStringLiteral("strURL");
    case Text::Program: return QStringLiteral("strProg");
    case Text::Arguments: return QStringLiteral("strCommands");
    case Text::TrustedCertificates:
        return QStringLiteral("mailTrustedCertificates");
    }
    return QString();
}

QString NotifySettingsEditor::key(Flag field)
{
    switch (field) {
    case Flag::Auth:
        return QStringLiteral("chkAuth");
    case Flag::Body: return QStringLiteral("chkBody");
    }
    return QString();
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
    m_settings.write(key(field), on ? QStringLiteral("1") : QStringLiteral("0"));
    switch (field) {
    case Flag::Auth:
        m_values.useAuth = on;
        break;
    case Flag::Body: m_values.useBody = on; break;
    }
}

void NotifySettingsEditor::setSecurity(MailSecurity security)
{
    m_settings.write(QStringLiteral("mailSecurity"), mailSecurityText(security));
    m_settings.write(QStringLiteral("chkSSL"),
                     security == MailSecurity::Ssl2 ? QStringLiteral("1") : QStringLiteral("0"));
    m_values.security = security;
}
