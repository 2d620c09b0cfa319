#include "notify/NotifySettingsEditor.h"

#include "core/NotifySettings.h"
#include "core/Settings.h"

#include <utility>

namespace {
// The texts NotifySettings holds, by their keys.
constexpr std::pair<Key, QString NotifySettings::*> Texts[] = {
    {Key::MailServer, &NotifySettings::server},
    {Key::MailPort, &NotifySettings::port},
    {Key::MailTo, &NotifySettings::emailTo},
    {Key::MailFrom, &NotifySettings::emailFrom},
    {Key::MailUsername, &NotifySettings::username},
    {Key::MailPassword, &NotifySettings::password},
    {Key::MailEncoding, &NotifySettings::encoding},
    {Key::MailBody, &NotifySettings::body},
    {Key::MailTrustedCertificates, &NotifySettings::trustedCertificates},
    {Key::Url, &NotifySettings::url},
    {Key::Program, &NotifySettings::program},
    {Key::Arguments, &NotifySettings::arguments},
};

QString NotifySettings::*textMember(Key key)
{
    for (const auto& [textKey, member] : Texts) {
        if (textKey == key)
            return member;
    }
    return nullptr;
}

bool NotifySettings::*flagMember(Key key)
{
    return key == Key::MailUseAuth   ? &NotifySettings::useAuth
           : key == Key::MailUseBody ? &NotifySettings::useBody
                                     : nullptr;
}
} // namespace

QString NotifySettingsEditor::read(Key key) const
{
    if (key == Key::MailSecurity)
        return mailSecurityText(m_values.security);
    if (const auto flag = flagMember(key))
        return m_values.*flag ? QStringLiteral("1") : QStringLiteral("0");
    if (const auto text = textMember(key))
        return m_values.*text;
    return m_settings.read(key);
}

bool NotifySettingsEditor::readFlag(Key key) const
{
    const auto flag = flagMember(key);
    return flag ? m_values.*flag : m_settings.readFlag(key);
}

void NotifySettingsEditor::write(Key key, const QString& value)
{
    if (key == Key::MailSecurity) {
        const MailSecurity security = mailSecurityFromText(value).value_or(MailSecurity::None);
        m_settings.write(Key::MailSecurity, mailSecurityText(security));
        m_settings.writeFlag(Key::MailSsl2, security == MailSecurity::Ssl2);
        m_values.security = security;
        return;
    }
    m_settings.write(key, value);
    if (const auto flag = flagMember(key))
        m_values.*flag = value.toInt() != 0;
    else if (const auto text = textMember(key))
        m_values.*text = value;
}
