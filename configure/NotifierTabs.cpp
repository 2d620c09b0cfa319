#include "configure/NotifierTabs.h"

#include "core/Settings.h"

namespace {
using W = KindField::Widget;

// clang-format off
KindTabDescription mqtt()
{
    return {.tabText = "&MQTT", .objectName = "fraMqtt", .title = "MQTT Notification", .fields = {
        {.widget = W::Flag, .key = Key::MqttNotify, .objectName = "chkMqttNotify", .label = "Pu&blish on change"},
        {.widget = W::Text, .key = Key::MqttHost, .objectName = "txtMqttHost", .label = "Bro&ker:",
         .hint = "broker.home.arpa"},
        {.widget = W::OptionalNumber, .key = Key::MqttPort, .objectName = "txtMqttPort", .label = "Por&t:",
         .hint = "1883 / 8883", .beside = true},
        {.widget = W::Flag, .key = Key::MqttTls, .objectName = "chkMqttTls",
         .label = "Use T&LS (the broker's certificate is verified)"},
        {.widget = W::File, .key = Key::MqttCaFile, .objectName = "txtMqttCaFile", .label = "&CA file:",
         .hint = "only for a broker with its own CA",
         .choices = {"cmdMqttCaFile", "Choose the broker's CA file", "The broker's CA file",
                     "PEM (*.pem *.crt)"},
         .enabledBy = Key::MqttTls},
        {.widget = W::Text, .key = Key::MqttUser, .objectName = "txtMqttUser", .label = "&User name:"},
        {.widget = W::Text, .key = Key::MqttPassword, .objectName = "txtMqttPassword", .label = "Pass&word:"},
        {.widget = W::Text, .key = Key::MqttTopic, .objectName = "txtMqttTopic", .label = "Top&ic:"},
        {.widget = W::Flag, .key = Key::MqttRetain, .objectName = "chkMqttRetain", .label = "Retai&n the message"},
        {.widget = W::Flag, .key = Key::MqttDiscovery, .objectName = "chkMqttDiscovery",
         .label = "Announce the addresses to &Home Assistant"},
        {.widget = W::Text, .key = Key::MqttDiscoveryPrefix, .objectName = "txtMqttDiscoveryPrefix",
         .label = "Discovery pre&fix:", .enabledBy = Key::MqttDiscovery},
    }, .kind = Notifiers::Kind::Mqtt, .testName = "cmdMqttTest", .resultName = "lblMqttResult",
       .testingText = "Publishing..."};
}

KindTabDescription dnsUpdate()
{
    return {.tabText = "&DNS Update", .objectName = "fraDnsUpdate",
            .title = "DNS Update (RFC 2136, signed with TSIG)", .fields = {
        {.widget = W::Flag, .key = Key::DnsUpdateNotify, .objectName = "chkDnsUpdate", .label = "&Update on change"},
        {.widget = W::Text, .key = Key::DnsUpdateServer, .objectName = "txtDnsServer", .label = "&Server:",
         .hint = "the zone's primary: ns1.example.org"},
        {.widget = W::Number, .key = Key::DnsUpdatePort, .objectName = "spnDnsPort", .label = "Por&t:"},
        {.widget = W::Text, .key = Key::DnsUpdateZone, .objectName = "txtDnsZone", .label = "&Zone:",
         .hint = "example.org"},
        {.widget = W::Text, .key = Key::DnsUpdateName, .objectName = "txtDnsName", .label = "&Name:",
         .hint = "home.example.org (the zone when empty)"},
        {.widget = W::Number, .key = Key::DnsUpdateTtl, .objectName = "spnDnsTtl", .label = "TT&L:",
         .suffix = " s"},
        {.widget = W::Text, .key = Key::DnsUpdateKeyName, .objectName = "txtDnsKeyName", .label = "&Key name:"},
        {.widget = W::Choice, .key = Key::DnsUpdateAlgorithm, .objectName = "cboDnsAlgorithm",
         .label = "Al&gorithm:", .choices = {"hmac-sha256", "hmac-sha384", "hmac-sha512"}},
        {.widget = W::Text, .key = Key::DnsUpdateKeySecret, .objectName = "txtDnsSecret", .label = "Key se&cret:",
         .hint = "base64, as in the server's key", .secretName = "key secret"},
    }, .kind = Notifiers::Kind::DnsUpdate, .testName = "cmdDnsTest", .resultName = "lblDnsResult",
       .testingText = "Updating..."};
}

KindTabDescription dnsApi()
{
    return {.tabText = "DNS &API", .objectName = "fraDnsApi", .title = "DNS API",
            .intro = "When an address changes, point a name's A record (and its AAAA record when there is a public "
                       "IPv6 address) at it through Cloudflare's DNS API. A record is changed only when it holds "
                       "another address; one that does not exist is created. The token needs the permissions \"Zone "
                       "- DNS - Edit\" and \"Zone - Zone - Read\" for the zone.", .fields = {
        {.widget = W::Flag, .key = Key::CloudflareNotify, .objectName = "chkDnsApiNotify",
         .label = "&Update on change"},
        {.widget = W::Text, .key = Key::DnsApiZone, .objectName = "txtDnsApiZone", .label = "&Zone:",
         .hint = "example.com"},
        {.widget = W::Text, .key = Key::DnsApiRecord, .objectName = "txtDnsApiRecord", .label = "Record &name:",
         .hint = "home.example.com"},
        {.widget = W::Text, .key = Key::DnsApiToken, .objectName = "txtDnsApiToken", .label = "API &token:",
         .secretName = "API token"},
        {.widget = W::Number, .key = Key::DnsApiTtl, .objectName = "spnDnsApiTtl", .label = "TT&L of a new record:",
         .hint = "automatic", .suffix = " s"},
        {.widget = W::Text, .key = Key::DnsApiBaseUrl, .objectName = "txtDnsApiBaseUrl", .label = "API addres&s:"},
    }, .kind = Notifiers::Kind::Cloudflare, .testName = "cmdDnsApiTest", .resultName = "lblDnsApiResult",
       .testingText = "Updating..."};
}
// clang-format on
} // namespace

QList<KindTabDescription> notifierTabs()
{
    return {mqtt(), dnsUpdate(), dnsApi()};
}
