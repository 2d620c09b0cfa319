#include "configure/NotifierTabs.h"

#include "configure/PlaceholderTools.h"
#include "configure/WebRequestsPane.h"
#include "core/NotifySettings.h"
#include "core/Settings.h"
#include "notify/MailPresets.h"
#include "notify/NotificationHost.h"
#include "notify/WebNotifier.h"
#include "platform/DisplayedUrl.h"

namespace {
using W = KindField::Widget;

// Under a caption that names only some of them: every placeholder that the notification fills in.
QString placeholderHint(const QList<Placeholder>& placeholders)
{
    return QStringLiteral("Placeholders: %1 (IPv6: \"none\" when there is none).").arg(placeholderList(placeholders));
}

// The port a security choice usually has: 25, 587, 465, and 465 for SSL 2.0 as the old presets had it.
QString usualPort(MailSecurity security)
{
    switch (security) {
    case MailSecurity::None:
        return QStringLiteral("25");
    case MailSecurity::StartTls:
        return QStringLiteral("587");
    case MailSecurity::Tls:
    case MailSecurity::Ssl2:
        return QStringLiteral("465");
    }
    return QStringLiteral("25");
}

// A provider from the server list: only what the provider decides, each one an edit of its field; the account is the
// user's to type.
void fillPreset(KindTab& tab, int entry)
{
    const std::optional<MailPreset> preset = mailPresetFor(mailPresetNames().value(entry));
    if (!preset)
        return;
    tab.setValue(Key::MailServer, preset->server);
    tab.setValue(Key::MailPort, preset->port);
    tab.setValue(Key::MailUseAuth, QStringLiteral("1")); // every provider in the list wants a login
    tab.setValue(Key::MailSecurity, mailSecurityText(preset->security));
    tab.showNote("lblPresetHint", preset->hint);
}

// A security choice proposes its usual port: a port the user typed stays, one that is merely another choice's usual
// port follows the choice.
void proposePort(KindTab& tab, int entry)
{
    const QString port = tab.value(Key::MailPort).trimmed();
    const QStringList usual{usualPort(MailSecurity::None), usualPort(MailSecurity::StartTls),
                            usualPort(MailSecurity::Tls)};
    if (port.isEmpty() || usual.contains(port))
        tab.setValue(Key::MailPort, usualPort(MailSecurity(entry)));
}

// clang-format off
KindTabDescription mail()
{
    const QString body = "Use this as the email body, replacing $Internal$ and $External$ with my actual Internal or "
                         "External IP Address:";
    return {.tabText = "Email", .objectName = "fraEmail", .title = "Email Notification",
            .switchName = "chkMailNotify", .switchLabel = "Send a mail on change", .fields = {
        {.widget = W::List, .key = Key::MailServer, .objectName = "Combo3", .label = "Mail Server:",
         .hint = "smtp.example.com, or pick a provider", .choices = mailPresetNames(), .chosen = fillPreset},
        {.widget = W::Number, .key = Key::MailPort, .objectName = "txtPort", .label = "Port:", .beside = true,
         .tip = "587 for STARTTLS, 465 for TLS, 25 without security"},
        {.widget = W::Note, .key = Key::MailServer, .objectName = "lblPresetHint"},
        {.widget = W::Text, .key = Key::MailTo, .objectName = "txtEmailTo", .label = "Email Address - To:",
         .hint = "you@example.com"},
        {.widget = W::Text, .key = Key::MailFrom, .objectName = "txtEmailFrom", .label = "Email Address - From:",
         .hint = "you@example.com"},
        {.widget = W::Choice, .key = Key::MailSecurity, .objectName = "cboSecurity", .label = "Security:",
         .choices = {"None", "STARTTLS (port 587)", "TLS (port 465)", "SSL 2.0 (legacy)"},
         .values = {mailSecurityText(MailSecurity::None), mailSecurityText(MailSecurity::StartTls),
                    mailSecurityText(MailSecurity::Tls), mailSecurityText(MailSecurity::Ssl2)},
         .chosen = proposePort},
        {.widget = W::Flag, .key = Key::MailUseAuth, .objectName = "chkAuth", .label = "Use Authentication",
         .beside = true},
        {.widget = W::Text, .key = Key::MailUsername, .objectName = "txtUsername", .label = "User name:"},
        {.widget = W::Text, .key = Key::MailPassword, .objectName = "txtPassword2", .label = "Password:",
         .beside = true},
        {.widget = W::Note, .key = Key::MailSecurity, .objectName = "lblPasswordNote",
         .label = "Without security the password travels readable.",
         .choices = {mailSecurityText(MailSecurity::None)}},
        {.widget = W::File, .key = Key::MailTrustedCertificates, .objectName = "txtTrustedCertificates",
         .label = "Trusted certificates:", .hint = "only for a server with its own CA",
         .choices = {"cmdCertificates", "Choose trusted certificates", "Trusted certificates for mail",
                     "PEM certificates (*.pem *.crt);;All files (*)"},
         .tip = "A PEM file of certificates to trust for mail besides the system's, for a self-hosted server"},
        {.widget = W::List, .key = Key::MailEncoding, .objectName = "Combo2", .label = "Encoding:",
         .choices = {"UUEncode", "MIME"}},
        {.widget = W::Flag, .objectName = "chkAttachment", .label = "Send as Attachment", .beside = true},
        {.widget = W::Flag, .key = Key::MailUseBody, .objectName = "chkBody", .label = body, .wrap = true},
        {.widget = W::Note, .objectName = "lblBodyPlaceholders", .label = placeholderHint(programPlaceholders())},
        {.widget = W::Lines, .key = Key::MailBody, .objectName = "txtBody", .label = body,
         .insertName = "cmdBodyPlaceholder", .placeholders = programPlaceholders()},
    }, .kind = Notifiers::Kind::Mail, .testName = "cmdSend", .resultName = "lblMailResult",
       .testingText = "Sending...", .previewName = "lblBodyPreview", .preview = [](NotificationHost& host) {
           return QStringLiteral("The mail body as sent now:\n") + notificationPreviews(host).mailBody;
       }};
}

KindTabDescription program()
{
    return {.tabText = "Program", .objectName = "fraProgram", .title = "Program Notification",
            .switchName = "chkProgramNotify", .switchLabel = "Start the program on change", .intro = "Launch the following file, sending it the following command line arguments, replacing "
                     "$Internal$ and $External$ with my actual Internal or External IP Address", .fields = {
        {.widget = W::Note, .objectName = "lblProgramPlaceholders", .label = placeholderHint(programPlaceholders())},
        {.widget = W::File, .key = Key::Program, .objectName = "Text3", .label = "File Path:",
         .choices = {"cmdProgram", "Choose the program", "Program to start", "", "Bro&wse..."}},
        {.widget = W::Text, .key = Key::Arguments, .objectName = "Text2", .label = "Arguments:",
         .insertName = "cmdProgramPlaceholder", .placeholders = programPlaceholders()},
    }, .kind = Notifiers::Kind::Program, .testName = "Command2", .resultName = "lblProgramResult",
       .testingText = "Starting...",
       .previewName = "lblProgramPreview", .preview = [](NotificationHost& host) {
           const QString commandLine = notificationPreviews(host).commandLine;
           return commandLine.isEmpty() ? QString() : QStringLiteral("Starts: ") + commandLine;
       }};
}

KindTabDescription web()
{
    return {.tabText = "Web Requests", .objectName = "fraWeb", .title = "Web Request 1",
            .switchName = "chkWebNotify", .switchLabel = "Send as chosen below", .intro = "Hit the following URL, replacing any instance of $Internal$ and $External$ with my actual "
                     "Internal or External IP Address:", .fields = {
        {.widget = W::Note, .objectName = "lblUrlPlaceholders", .label = placeholderHint(urlPlaceholders())},
        {.widget = W::Text, .key = Key::Url, .objectName = "Text1", .label = "URL:",
         .insertName = "cmdUrlPlaceholder", .placeholders = urlPlaceholders()},
        {.widget = W::Choice, .key = Key::WebSends1, .objectName = "cboUrlSends", .label = "Sen&d:",
         .choices = {"on a change of address", "after every lookup (a health check)", "after a failed lookup",
                     "after every lookup, a failed one to the URL below"},
         .values = {"0", "1", "2", "3"}},
        {.widget = W::Text, .key = Key::WebFailUrl1, .objectName = "txtUrlFail", .label = "URL of a &failed lookup:",
         .hint = "https://hc-ping.com/UUID/fail"},
    }, .kind = Notifiers::Kind::Web, .testName = "Command3", .resultName = "lblWebResult",
       .testingText = "Requesting...",
       // The outcome names the URL as it was requested, addresses filled in, secrets masked.
       .resultText = [](NotificationHost& host) -> std::function<QString(const NotificationResult&)> {
           const QString requested = host.notifySettings().url.isEmpty()
                                         ? QString()
                                         : QStringLiteral(" (requested ") + displayedUrl(webNotificationUrl(host)) + u')';
           return [requested](const NotificationResult& result) { return result.message + requested; };
       },
       .previewName = "lblUrlPreview", .preview = [](NotificationHost& host) {
           const QString url = notificationPreviews(host).url;
           return url.isEmpty() ? QString() : QStringLiteral("Requests: ") + url;
       },
       .pane = [](NotificationHost& host, Notifiers& notifiers, PendingEdits& edits) -> QWidget* {
           return new WebRequestsPane(host, notifiers, edits);
       }};
}

KindTabDescription mqtt()
{
    return {.tabText = "MQTT", .objectName = "fraMqtt", .title = "MQTT Notification",
            .switchName = "chkMqttNotify", .switchLabel = "Pu&blish on change", .fields = {
        {.widget = W::Text, .key = Key::MqttHost, .objectName = "txtMqttHost", .label = "Bro&ker:",
         .hint = "broker.home.arpa"},
        {.widget = W::Number, .key = Key::MqttPort, .objectName = "txtMqttPort", .label = "Por&t:",
         .hint = "default", .beside = true, .tip = "default: 1883, or 8883 with TLS"},
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
    return {.tabText = "DNS Update", .objectName = "fraDnsUpdate",
            .title = "DNS Update (RFC 2136, signed with TSIG)", .switchName = "chkDnsUpdate",
            .switchLabel = "&Update on change", .fields = {
        {.widget = W::Text, .key = Key::DnsUpdateServer, .objectName = "txtDnsServer", .label = "&Server:",
         .hint = "the zone's primary: ns1.example.org"},
        {.widget = W::Number, .key = Key::DnsUpdatePort, .objectName = "spnDnsPort", .label = "Por&t:"},
        {.widget = W::Text, .key = Key::DnsUpdateZone, .objectName = "txtDnsZone", .label = "&Zone:",
         .hint = "example.org"},
        {.widget = W::Text, .key = Key::DnsUpdateName, .objectName = "txtDnsName", .label = "&Names:",
         .hint = "home.example.org, www (the zone when empty)"},
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
// clang-format on
} // namespace

QList<KindTabDescription> firstNotifierTabs()
{
    return {mail(), program(), web()};
}

QList<KindTabDescription> notifierTabs()
{
    return {mqtt(), dnsUpdate()};
}
