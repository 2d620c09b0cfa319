#pragma once

#include "core/SettingsKeys.h"

#include <QString>

class Settings;
struct NotifySettings;

/// Reads and writes settings keys by the values the notifiers use: a key that NotifySettings holds (the mail's, the
/// URL's, the program's) is read from memory and written to the store and to memory together, so the two never
/// disagree; any other key is the store's alone.
class NotifySettingsEditor
{
public:
    NotifySettingsEditor(Settings& settings, NotifySettings& values) : m_settings(settings), m_values(values) {}

    /// @p key's value as the store writes it: "1" or "0" for a flag, mailSecurity's text for the security.
    QString read(Key key) const;
    bool readFlag(Key key) const;
    /// Writing mailSecurity also writes chkSSL (1 for SSL 2.0) for the versions that know only the SSL 2.0 box.
    void write(Key key, const QString& value);

private:
    Settings& m_settings;
    NotifySettings& m_values;
};
