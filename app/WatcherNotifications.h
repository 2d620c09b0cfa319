#pragma once

#include "keyring/PasswordStore.h"
#include "notify/NotificationService.h"
#include "notify/WatcherNotificationHost.h"
#include "notify/WebPings.h"
#include "platform/ProcessLauncher.h"
#include "secure/SecureMailTransport.h"

#include <memory>
#include <vector>

class AddressWatcher;
class MessageBox;
class Settings;

/// The notifications of one watcher, wired to it the same way for the window and the headless modes:
/// the host the notifiers see, the mail password's and the other secrets' stores (started by startSecrets()), the
/// service with every kind the build has, and the SSL 2.0 channel, whose failures go to @p messageBox once the socket event that found them is
/// over (a modal box never runs inside the transport).
struct WatcherNotifications
{
    WatcherNotifications(AddressWatcher& watcher, Settings& settings, MessageBox* messageBox);
    /// Shows a failure whose message box had not opened yet (@p messageBox must outlive this).
    ~WatcherNotifications();

    /// Reads the mail password, the other kinds' secrets and those of the web requests that exist from the keyring.
    /// Returns at once.
    void startSecrets();

    WatcherNotificationHost host;
    PasswordStore passwords;
    std::vector<std::unique_ptr<PasswordStore>> secrets; // the other secrets, each found by host.secretStore(key)
    DetachedProcessLauncher launcher;
    NotificationService service;
    SecureMailTransport secureMail;
    WebPings pings; // the health checks' pings after each lookup

private:
    /// A store for the secret of settings key @p fileKey, kept in the keyring as @p keyringKey: its notices go to the
    /// status line and the host finds it by its key.
    void keepSecret(AddressWatcher& watcher, Settings& settings, Key fileKey, const QString& keyringKey);
};
