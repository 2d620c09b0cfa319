#pragma once

#include <QString>

class Settings;

/// The notification settings held in memory from start-up to exit. The configuration dialog writes
/// each field here and to the store together; the notifiers read them here.
struct NotifySettings
{
    // Defaults that plainly ask the user for their own values.
    static constexpr const char* PlaceholderAddress = "you@your-mail-provider.invalid";
    static constexpr const char* PlaceholderServer = "smtp.your-mail-provider.invalid";
    static constexpr const char* DefaultBody = "Internal: $Internal$\r\nExternal: $External$";

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
    bool useAuth = false;
    bool useSsl = false;
    bool useBody = false;
};

/// Reads the notification keys into @p values, in the store's documented order. Writes nothing.
void LoadNotifySettings(const Settings& settings, NotifySettings& values);

/// A check box's stored text as a flag: true exactly when it is the whole number 1.
bool flagFromText(const QString& text);
