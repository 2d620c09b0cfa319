#pragma once

#include <QString>

#include <optional>

/// The mail fields that choosing a provider from the server list fills in.
struct MailPreset
{
    QString server;
    QString port;
    QString address;   // sender and recipient
    QString username;
    bool useSsl = false;
};

/// The preset for a list entry, compared in small letters with "gmail", "lycos" and "aol"; nothing
/// for any other entry.
std::optional<MailPreset> mailPresetFor(const QString& entry);
