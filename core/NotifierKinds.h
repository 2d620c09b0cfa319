#pragma once

#include "core/Notifiers.h"
#include "core/SettingsKeys.h"

#include <array>
#include <cstddef>

/// What each kind of notification is called: its check box's settings key, its name in status texts, its name in
/// the stored pending notices and the label its own status texts begin with. Indexed by Notifiers::Kind.
struct NotifierKindNames
{
    Notifiers::Kind kind;
    Key settingsKey;
    const char* statusName;
    const char16_t* pendingName;
    const char* label; // what its status texts begin with: "Error: <label>: ..."
};

inline constexpr std::array<NotifierKindNames, 6> NotifierKinds = {{
    {Notifiers::Kind::Mail, Key::MailNotify, "mail", u"mail", "Mail"},
    {Notifiers::Kind::Web, Key::WebNotify, "web notification", u"web", "Web"},
    {Notifiers::Kind::Program, Key::ProgramNotify, "program notification", u"program", "Program"},
    {Notifiers::Kind::Mqtt, Key::MqttNotify, "MQTT message", u"mqtt", "MQTT"},
    {Notifiers::Kind::DnsUpdate, Key::DnsUpdateNotify, "DNS update", u"dnsupdate", "DNS update"},
    {Notifiers::Kind::DnsHosts, Key::CloudflareNotify, "DNS host update", u"dnsapi", "DNS hosts"},
}};

constexpr const NotifierKindNames& notifierKind(Notifiers::Kind kind)
{
    return NotifierKinds[static_cast<std::size_t>(kind)];
}

static_assert(notifierKind(Notifiers::Kind::Mail).kind == Notifiers::Kind::Mail &&
              notifierKind(Notifiers::Kind::Web).kind == Notifiers::Kind::Web &&
              notifierKind(Notifiers::Kind::Program).kind == Notifiers::Kind::Program &&
              notifierKind(Notifiers::Kind::Mqtt).kind == Notifiers::Kind::Mqtt &&
              notifierKind(Notifiers::Kind::DnsUpdate).kind == Notifiers::Kind::DnsUpdate &&
              notifierKind(Notifiers::Kind::DnsHosts).kind == Notifiers::Kind::DnsHosts);
