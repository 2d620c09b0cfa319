#pragma once

#include <memory>

class AddressWatcher;
class KindNotifier;
class NotificationHost;
class PasswordStore;

// The notifiers of the kinds whose library a build may lack; none where it does (the kind then says it is not in
// this build when asked). MqttWiring.cpp or NoMqttWiring.cpp, DnsUpdateWiring.cpp or NoDnsUpdateWiring.cpp, as CMake
// chooses.

/// The MQTT notifier of @p watcher, its password in @p password.
std::unique_ptr<KindNotifier> makeMqttNotifier(AddressWatcher& watcher, NotificationHost& host,
                                               PasswordStore& password);
/// The DNS update's notifier, its key's secret in @p secret.
std::unique_ptr<KindNotifier> makeDnsUpdateNotifier(NotificationHost& host, PasswordStore& secret);
