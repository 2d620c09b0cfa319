#pragma once

#include "core/SettingsKeys.h"

#include <QString>

class PasswordStore;
class Settings;
struct NotifySettings;
enum class MailSecurity;

/// Writes one edit of a notification field to the store and to the in-memory value together, so the
/// two never disagree.
class NotifySettingsEditor
{
public:
    enum class Text
    {
        Server,
        Port,
        EmailTo,
        EmailFrom,
        Username,
        Password,
        Encoding,
        Body,
        Url,
        Program,
        Arguments,
        TrustedCertificates,
    };
    enum class Flag
    {
        Auth,
        Body,
    };

    NotifySettingsEditor(Settings& settings, NotifySettings& values) : m_settings(settings), m_values(values) {}

    /// With a store, the password goes to it (the keyring) instead of the settings file. Not owned.
    void setPasswordStore(PasswordStore* store) { m_passwords = store; }

    void setText(Text field, const QString& value);
    void setFlag(Flag field, bool on);
    /// Writes mailSecurity and, for the versions that know only the SSL 2.0 box, chkSSL (1 for SSL 2.0).
    void setSecurity(MailSecurity security);

    /// The store's key of a field.
    static Key key(Text field);
    static Key key(Flag field);

private:
    Settings& m_settings;
    NotifySettings& m_values;
    PasswordStore* m_passwords = nullptr;
};
