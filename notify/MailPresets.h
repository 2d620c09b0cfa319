#pragma once

#include "core/NotifySettings.h"

#include <QString>
#include <QStringList>

#include <optional>

/// The mail fields that choosing a provider from the server list fills in.
struct MailPreset
{
    QString server;
    QString port;
    QString address; // sender and recipient
    QString username;
    MailSecurity security = MailSecurity::None;
};

/// The providers the server list offers, in its order.
QStringList mailPresetNames();

/// The preset for a list entry, compared in small letters with the names of mailPresetNames();
/// nothing for any other entry.
std::optional<MailPreset> mailPresetFor(const QString& entry);
