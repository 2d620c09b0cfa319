#pragma once

#include <memory>

class KindNotifier;
class NotificationHost;

// The notifiers of the kinds whose library a build may lack; none where it does (the kind then says it is not in
// this build when asked). MqttWiring.cpp or NoMqttWiring.cpp, DnsUpdateWiring.cpp or NoDnsUpdateWiring.cpp, as CMake
// chooses. Each takes its secret from the host's secret store of its key.

std::unique_ptr<KindNotifier> makeMqttNotifier(NotificationHost& host);
std::unique_ptr<KindNotifier> makeDnsUpdateNotifier(NotificationHost& host);
