#pragma once

#include "keyring/PasswordStore.h"
#include "notify/NotificationService.h"
#include "notify/WatcherNotificationHost.h"
#include "platform/ProcessLauncher.h"
#include "secure/SecureMailTransport.h"

#include <memory>

class AddressWatcher;
class MessageBox;
class Settings;

/// The notifications of one watcher, wired to it the same way for the window and the headless modes:
/// the host the notifiers see, the mail password's store (started with start()), the notifiers and
/// the SSL 2.0 channel, whose failures go to @p messageBox once the socket event that found them is
/// over (a modal box never runs inside the transport).
struct WatcherNotifications
{
    WatcherNotifications(AddressWatcher& watcher, Settings& settings, MessageBox* messageBox);
    /// Shows a failure whose message box had not opened yet (@p messageBox must outlive this).
    ~WatcherNotifications();

    /// Asks the keyring for the passwords (the mail's, the MQTT broker's). Returns at once.
    void startPasswords();

    WatcherNotificationHost host;
    PasswordStore passwords;
    PasswordStore mqttPassword;
    DetachedProcessLauncher launcher;
    NotificationService service;
    SecureMailTransport secureMail;
    std::unique_ptr<KindNotifier> mqtt; // none where the build has no MQTT
    std::unique_ptr<QObject> dnsUpdate; // the DNS update's notifier and its key's store
};
