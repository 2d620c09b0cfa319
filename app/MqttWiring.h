#pragma once

#include <memory>

class AddressWatcher;
class KindNotifier;
class NotificationHost;
class PasswordStore;

/// The MQTT notifier of @p watcher, its password in @p password; none where this build has no MQTT (the kind then
/// says so when asked). MqttWiring.cpp or NoMqttWiring.cpp, as CMake chooses.
std::unique_ptr<KindNotifier> makeMqttNotifier(AddressWatcher& watcher, NotificationHost& host,
                                               PasswordStore& password);
