#pragma once

#include <QString>

class Settings;
struct NotifySettings;

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
    };
    enum class Flag
    {
        Auth,
        Ssl,
        Body,
    };

    NotifySettingsEditor(Settings& settings, NotifySettings& values) : m_settings(settings), m_values(values) {}

    void setText(Text field, const QString& value);
    void setFlag(Flag field, bool on);

    /// The store's key of a field ("strURL" for the URL, which readers find as "strurl").
    static QString key(Text field);
    static QString key(Flag field);

private:
    Settings& m_settings;
    NotifySettings& m_values;
};
