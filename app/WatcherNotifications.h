#pragma once

#include "dnsapi/DnsApiNotifier.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationService.h"
#include "notify/WatcherNotificationHost.h"
#include "platform/ProcessLauncher.h"
#include "secure/SecureMailTransport.h"

#include <array>
#include <memory>

class AddressWatcher;
class MessageBox;
class Settings;

/// The notifications of one watcher, wired to it the same way for the window and the headless modes:
/// the host the notifiers see, the mail password's and the tokens' stores (each started with start()), the notifiers and
/// the SSL 2.0 channel, whose failures go to @p messageBox once the socket event that found them is
/// over (a modal box never runs inside the transport).
struct WatcherNotifications
{
    WatcherNotifications(AddressWatcher& watcher, Settings& settings, MessageBox* messageBox);
    /// Shows a failure whose message box had not opened yet (@p messageBox must outlive this).
    ~WatcherNotifications();

    /// Reads the mail password, the MQTT broker's and the secrets of the web requests that exist from the keyring.
    /// Returns at once.
    void startSecrets();

    WatcherNotificationHost host;
    PasswordStore passwords;
    PasswordStore mqttPassword;
    std::array<std::unique_ptr<PasswordStore>, Notifiers::MaxEntries> webSecrets; // by web request (0: none)
    DetachedProcessLauncher launcher;
    NotificationService service;
    SecureMailTransport secureMail;
    std::unique_ptr<KindNotifier> mqtt; // none where the build has no MQTT
    std::unique_ptr<QObject> dnsUpdate; // the DNS update's notifier and its key's store
    PasswordStore dnsApiToken; // the DNS host's API token
    DnsApiNotifier dnsApi;
};
