#pragma once

#include "dnsapi/DnsApiNotifier.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationService.h"
#include "notify/WatcherNotificationHost.h"
#include "platform/ProcessLauncher.h"
#include "secure/SecureMailTransport.h"

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

    WatcherNotificationHost host;
    PasswordStore passwords;
    DetachedProcessLauncher launcher;
    NotificationService service;
    SecureMailTransport secureMail;
    PasswordStore dnsApiToken; // the DNS host's API token
    DnsApiNotifier dnsApi;
};
