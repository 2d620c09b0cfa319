#include "core/SettingsKeys.h"

namespace {
constexpr const char* NoAddress = "0"; // the change test's "nothing remembered yet"
constexpr const char* DefaultBody = "Internal: $Internal$\r\nExternal: $External$";
} // namespace

// clang-format off
constexpr std::array<KeyRow, std::size_t(Key::Count)> SettingsKeys = {{
    {Key::Minimized, {"Minimized", 0, 0, 1}},
    {Key::StartMinimized, {"chkMin", 0, 0, 1}},
    {Key::AutoRefresh, {"refresh", 0, 0, 1}}, // the headless modes refresh unless told not to
    {Key::RefreshRate, {"refreshrate", 0, -1, 4}},
    {Key::RunAtLogon, {"startup", 0, 0, 1}},
    {Key::ShowHelp, {"showHelp", 1, 0, 1}},
    {Key::DesktopNotice, {"desktopNotify", 1, 0, 1}},
    {Key::OverlayShown, {"overlayShown", 0, 0, 1}},
    {Key::OverlayX, {"overlayX", OverlayNotPlaced, -100000, 100000}}, // where the overlay was last dragged to
    {Key::OverlayY, {"overlayY", OverlayNotPlaced, -100000, 100000}},
    {Key::MailNotify, {"emailNotify", 0, 0, 1}},
    {Key::WebNotify, {"webNotify", 0, 0, 1}},
    {Key::ProgramNotify, {"programNotify", 0, 0, 1}},
    {Key::MqttNotify, {"mqttNotify", 0, 0, 1}},
    {Key::DnsUpdateNotify, {"dnsUpdateNotify", 0, 0, 1}},
    {Key::CloudflareNotify, {"cloudflareNotify", 0, 0, 1}},
    {Key::OldInternal, {"OldInternal", NoAddress}},
    {Key::OldExternal, {"OldExternal", NoAddress}},
    {Key::OldExternalIPv6, {"OldExternalIPv6", NoAddress}},
    {Key::OldIPv6Prefix, {"OldIPv6Prefix", NoAddress}}, // "2001:db8:1:2::/64", the prefix of the stable address
    {Key::PendingNotices, {"pendingNotices", ""}},
    {Key::LineNat, {"lineNat", 0, 0, 2}}, // RouterCheck::Nat as last told
    {Key::AddressSources, {"addressSources", ""}}, // absent: the built-in list (empty is a list too)
    {Key::Address6Sources, {"address6Sources", ""}},
    {Key::AddressQuorum, {"addressQuorum", 2, 1, 100}},
    {Key::MailTo, {"strEmailTo", ""}},
    {Key::MailFrom, {"strEmailFrom", ""}},
    {Key::MailServer, {"strServer", ""}},
    {Key::MailPort, {"strPort", 587, 1, 65535}},
    {Key::MailUsername, {"strUsername", ""}},
    {Key::MailPassword, {"strPassword", "", Secret::Yes}}, // where no keyring keeps it
    {Key::MailEncoding, {"strEncoding", "MIME"}},
    {Key::MailBody, {"txtBody", DefaultBody}},
    {Key::MailUseAuth, {"chkAuth", 0, 0, 1}},
    {Key::MailUseBody, {"chkBody", 0, 0, 1}},
    {Key::MailSecurity, {"mailSecurity", ""}}, // absent: from MailSsl2, which files before it have
    {Key::MailSsl2, {"chkSSL", 0, 0, 1}},
    {Key::MailTrustedCertificates, {"mailTrustedCertificates", ""}},
    {Key::Url, {"strURL", ""}}, // older files spell it "strurl"; a rewrite keeps the file's spelling
    {Key::Program, {"strProg", ""}},
    {Key::Arguments, {"strCommands", ""}},
    {Key::WebRequest2, {"webRequest2", ""}}, // one entry as a JSON object
    {Key::WebRequest3, {"webRequest3", ""}},
    {Key::WebRequest4, {"webRequest4", ""}},
    {Key::WebRequest5, {"webRequest5", ""}},
    {Key::WebRequest6, {"webRequest6", ""}},
    {Key::WebRequest7, {"webRequest7", ""}},
    {Key::WebRequest8, {"webRequest8", ""}},
    {Key::WebRequest9, {"webRequest9", ""}},
    {Key::WebSecret2, {"webSecret2", "", Secret::Yes}}, // where no keyring keeps it
    {Key::WebSecret3, {"webSecret3", "", Secret::Yes}},
    {Key::WebSecret4, {"webSecret4", "", Secret::Yes}},
    {Key::WebSecret5, {"webSecret5", "", Secret::Yes}},
    {Key::WebSecret6, {"webSecret6", "", Secret::Yes}},
    {Key::WebSecret7, {"webSecret7", "", Secret::Yes}},
    {Key::WebSecret8, {"webSecret8", "", Secret::Yes}},
    {Key::WebSecret9, {"webSecret9", "", Secret::Yes}},
    {Key::WebLastSet, {"webLastSet", ""}}, // entry number=address the update set, ";" between
    {Key::WebSends1, {"webSends1", 0, 0, 3}}, // WebSends: on a change, every lookup, a failed one, both
    {Key::WebSends2, {"webSends2", 0, 0, 3}},
    {Key::WebSends3, {"webSends3", 0, 0, 3}},
    {Key::WebSends4, {"webSends4", 0, 0, 3}},
    {Key::WebSends5, {"webSends5", 0, 0, 3}},
    {Key::WebSends6, {"webSends6", 0, 0, 3}},
    {Key::WebSends7, {"webSends7", 0, 0, 3}},
    {Key::WebSends8, {"webSends8", 0, 0, 3}},
    {Key::WebSends9, {"webSends9", 0, 0, 3}},
    {Key::WebFailUrl1, {"webFailUrl1", ""}}, // the URL of a failed lookup when it sends on both
    {Key::WebFailUrl2, {"webFailUrl2", ""}},
    {Key::WebFailUrl3, {"webFailUrl3", ""}},
    {Key::WebFailUrl4, {"webFailUrl4", ""}},
    {Key::WebFailUrl5, {"webFailUrl5", ""}},
    {Key::WebFailUrl6, {"webFailUrl6", ""}},
    {Key::WebFailUrl7, {"webFailUrl7", ""}},
    {Key::WebFailUrl8, {"webFailUrl8", ""}},
    {Key::WebFailUrl9, {"webFailUrl9", ""}},
    // MQTT
    {Key::MqttHost, {"mqttHost", ""}},
    {Key::MqttPort, {"mqttPort", 0, 0, 65535}}, // 0: the protocol's own (1883, 8883 with TLS)
    {Key::MqttTls, {"mqttTls", 0, 0, 1}},
    {Key::MqttCaFile, {"mqttCaFile", ""}}, // trusted besides the system's certificates
    {Key::MqttUser, {"mqttUser", ""}},
    {Key::MqttPassword, {"mqttPassword", "", Secret::Yes}}, // where no keyring keeps it
    {Key::MqttTopic, {"mqttTopic", "vistrel/addresses"}},
    {Key::MqttRetain, {"mqttRetain", 1, 0, 1}},
    {Key::MqttDiscovery, {"mqttDiscovery", 0, 0, 1}},
    {Key::MqttDiscoveryPrefix, {"mqttDiscoveryPrefix", "homeassistant"}},
    // DNS updates
    {Key::DnsUpdateServer, {"dnsUpdateServer", ""}}, // the zone's primary: a host name or an address
    {Key::DnsUpdatePort, {"dnsUpdatePort", 53, 1, 65535}},
    {Key::DnsUpdateZone, {"dnsUpdateZone", ""}},
    {Key::DnsUpdateName, {"dnsUpdateName", ""}}, // the full name, inside the zone
    {Key::DnsUpdateTtl, {"dnsUpdateTtl", 300, 0, 604800}},
    {Key::DnsUpdateKeyName, {"dnsUpdateKeyName", ""}},
    {Key::DnsUpdateKeySecret, {"dnsUpdateKeySecret", "", Secret::Yes}}, // base64, where no keyring keeps it
    {Key::DnsUpdateAlgorithm, {"dnsUpdateAlgorithm", "hmac-sha256"}},
    {Key::DnsUpdateLastSet, {"dnsUpdateLastSet", ""}}, // what the last update set: name, IPv4, IPv6
    // the DNS host's API
    {Key::DnsApiZone, {"dnsApiZone", ""}},
    {Key::DnsApiRecord, {"dnsApiRecord", ""}}, // a name in the zone; "home" stands for home.<zone>
    {Key::DnsApiToken, {"dnsApiToken", "", Secret::Yes}}, // where no keyring keeps it
    {Key::DnsApiTtl, {"dnsApiTtl", 1, 1, 86400}}, // of a record it creates; 1 is the host's "automatic"
    {Key::DnsApiBaseUrl, {"dnsApiBaseUrl", "https://api.cloudflare.com/client/v4"}},
    {Key::DnsApiLastSet, {"dnsApiLastSet", ""}}, // zone, record and the addresses the records were last seen to hold
    {Key::DnsApiNames, {"dnsApiNames", ""}}, // its names as a JSON array as in dnsHost<n>; dnsApiRecord keeps the first
    // DNS-host entries: one JSON object each (provider, zone, names, switch); their secrets where no keyring keeps them
    {Key::DnsHost1, {"dnsHost1", ""}},
    {Key::DnsHost2, {"dnsHost2", ""}},
    {Key::DnsHost3, {"dnsHost3", ""}},
    {Key::DnsHost4, {"dnsHost4", ""}},
    {Key::DnsHost5, {"dnsHost5", ""}},
    {Key::DnsHost6, {"dnsHost6", ""}},
    {Key::DnsHost7, {"dnsHost7", ""}},
    {Key::DnsHost8, {"dnsHost8", ""}},
    {Key::DnsHostSecret1, {"dnsHostSecret1", "", Secret::Yes}},
    {Key::DnsHostSecret2, {"dnsHostSecret2", "", Secret::Yes}},
    {Key::DnsHostSecret3, {"dnsHostSecret3", "", Secret::Yes}},
    {Key::DnsHostSecret4, {"dnsHostSecret4", "", Secret::Yes}},
    {Key::DnsHostSecret5, {"dnsHostSecret5", "", Secret::Yes}},
    {Key::DnsHostSecret6, {"dnsHostSecret6", "", Secret::Yes}},
    {Key::DnsHostSecret7, {"dnsHostSecret7", "", Secret::Yes}},
    {Key::DnsHostSecret8, {"dnsHostSecret8", "", Secret::Yes}},
    {Key::DnsHostLastSet, {"dnsHostLastSet", ""}}, // a JSON object: entry number -> what its last success set

}};
// clang-format on

namespace {
constexpr bool inKeyOrder()
{
    for (std::size_t i = 0; i < SettingsKeys.size(); ++i) {
        if (SettingsKeys[i].key != Key(i))
            return false;
    }
    return true;
}
static_assert(inKeyOrder(), "the rows of SettingsKeys follow the order of Key");
} // namespace
