#include "core/SettingsKeys.h"

namespace {
constexpr const char* NoAddress = "0"; // the change test's "nothing remembered yet"
// Mail defaults that plainly ask the user for their own values.
constexpr const char* PlaceholderAddress = "you@your-mail-provider.invalid";
constexpr const char* PlaceholderServer = "smtp.your-mail-provider.invalid";
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
    {Key::PendingNotices, {"pendingNotices", ""}},
    {Key::LineNat, {"lineNat", 0, 0, 2}}, // RouterCheck::Nat as last told
    {Key::AddressSources, {"addressSources", ""}}, // absent: the built-in list (empty is a list too)
    {Key::Address6Sources, {"address6Sources", ""}},
    {Key::AddressQuorum, {"addressQuorum", 2, 1, 100}},
    {Key::MailTo, {"strEmailTo", PlaceholderAddress}},
    {Key::MailFrom, {"strEmailFrom", PlaceholderAddress}},
    {Key::MailServer, {"strServer", PlaceholderServer}},
    {Key::MailPort, {"strPort", "25"}},
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
    // MQTT

    // DNS updates

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
