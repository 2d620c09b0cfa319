#pragma once

#include <QObject>

#include <memory>

class AddressWatcher;
class NotificationService;
class Settings;
class WatcherNotificationHost;

/// Builds the DNS update's notifier and the store of its key's secret (started at once), hands them to @p service
/// and @p host, and returns their owner; none in a build without DNS updates (the kind then says so).
std::unique_ptr<QObject> wireDnsUpdate(AddressWatcher& watcher, Settings& settings, WatcherNotificationHost& host,
                                       NotificationService& service);
