#pragma once

#include "core/NotifySettings.h"

#include <QString>
#include <QStringList>

#include <optional>

/// What choosing a provider from the server list fills in: only what the provider decides. The
/// account's address and user name are the user's own; the hint says what the provider wants there.
struct MailPreset
{
    QString server;
    QString port;
    MailSecurity security = MailSecurity::None;
    QString hint; // one sentence for beside the list, about the user name and password the provider wants
};

/// The providers the server list offers, in its order.
QStringList mailPresetNames();

/// The preset for a list entry, compared in small letters with the names of mailPresetNames();
/// nothing for any other entry.
std::optional<MailPreset> mailPresetFor(const QString& entry);
