#pragma once

#include <array>
#include <cstddef>

/// Every key of the settings file, each named once here with its type, default and range. Readers and writers
/// name a key by its Key; the stored names are those earlier versions wrote, so their files read the same.
enum class Key
{
    // The main window
    Minimized,
    StartMinimized,
    AutoRefresh,
    RefreshRate,
    RunAtLogon,
    ShowHelp,
    DesktopNotice,
    OverlayShown,
    OverlayX,
    OverlayY,
    MailNotify,
    WebNotify,
    ProgramNotify,
    MqttNotify,
    DnsUpdateNotify,
    CloudflareNotify,
    // What the change test remembers
    OldInternal,
    OldExternal,
    OldExternalIPv6,
    OldIPv6Prefix,
    PendingNotices,
    LineNat,
    // Address sources
    AddressSources,
    Address6Sources,
    AddressQuorum,
    // Notifications
    MailTo,
    MailFrom,
    MailServer,
    MailPort,
    MailUsername,
    MailPassword,
    MailEncoding,
    MailBody,
    MailUseAuth,
    MailUseBody,
    MailSecurity,
    MailSsl2,
    MailTrustedCertificates,
    Url,
    Program,
    Arguments,
    // Web requests beyond the first (strURL): entries 2 to 9, their secrets, what the address updates last set
    WebRequest2,
    WebRequest3,
    WebRequest4,
    WebRequest5,
    WebRequest6,
    WebRequest7,
    WebRequest8,
    WebRequest9,
    WebSecret2,
    WebSecret3,
    WebSecret4,
    WebSecret5,
    WebSecret6,
    WebSecret7,
    WebSecret8,
    WebSecret9,
    WebLastSet,
    // When each web request goes (WebSends: the first URL, then entries 2 to 9) and where a failed lookup's goes
    WebSends1,
    WebSends2,
    WebSends3,
    WebSends4,
    WebSends5,
    WebSends6,
    WebSends7,
    WebSends8,
    WebSends9,
    WebFailUrl1,
    WebFailUrl2,
    WebFailUrl3,
    WebFailUrl4,
    WebFailUrl5,
    WebFailUrl6,
    WebFailUrl7,
    WebFailUrl8,
    WebFailUrl9,
    // MQTT
    MqttHost,
    MqttPort,
    MqttTls,
    MqttCaFile,
    MqttUser,
    MqttPassword,
    MqttTopic,
    MqttRetain,
    MqttDiscovery,
    MqttDiscoveryPrefix,
    // DNS updates
    DnsUpdateServer,
    DnsUpdatePort,
    DnsUpdateZone,
    DnsUpdateName,
    DnsUpdateTtl,
    DnsUpdateKeyName,
    DnsUpdateKeySecret,
    DnsUpdateAlgorithm,
    DnsUpdateLastSet,
    // the DNS host's API
    DnsApiZone,
    DnsApiRecord,
    DnsApiToken,
    DnsApiTtl,
    DnsApiBaseUrl,
    DnsApiLastSet,
    DnsApiNames,
    // DNS-host entries 1 to 8, their secrets, what each last set
    DnsHost1,
    DnsHost2,
    DnsHost3,
    DnsHost4,
    DnsHost5,
    DnsHost6,
    DnsHost7,
    DnsHost8,
    DnsHostSecret1,
    DnsHostSecret2,
    DnsHostSecret3,
    DnsHostSecret4,
    DnsHostSecret5,
    DnsHostSecret6,
    DnsHostSecret7,
    DnsHostSecret8,
    DnsHostLastSet,

    Count, ///< not a key: how many there are
};

enum class Secret : bool
{
    No,
    Yes, ///< a file that holds it non-empty is made readable by its owner only
};

/// One key: a whole number in [min, max] (anything else stored counts as the default) or a text.
struct KeyInfo
{
    enum class Type
    {
        Number,
        Text,
    };

    constexpr KeyInfo(const char* storedName, int number, int least, int most, Secret isSecret = Secret::No)
        : name(storedName), type(Type::Number), defaultNumber(number), min(least), max(most), secret(isSecret)
    {
    }
    constexpr KeyInfo(const char* storedName, const char* text, Secret isSecret = Secret::No)
        : name(storedName), type(Type::Text), defaultText(text), secret(isSecret)
    {
    }

    const char* name; ///< as stored; the file is read without regard to case
    Type type;
    const char* defaultText = "";
    int defaultNumber = 0;
    int min = 0;
    int max = 0;
    Secret secret;
};

struct KeyRow
{
    Key key;
    KeyInfo info;
};

/// overlayX and overlayY before the overlay was ever moved (and for values out of range).
constexpr int OverlayNotPlaced = -1000000;

/// The table, in the order of Key.
extern const std::array<KeyRow, std::size_t(Key::Count)> SettingsKeys;

inline const KeyInfo& keyInfo(Key key)
{
    return SettingsKeys[std::size_t(key)].info;
}
