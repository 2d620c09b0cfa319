#pragma once

#include <QString>

/// The local machine's IPv4 address as dotted decimal text: the first address of an interface that
/// is up, running and not a loopback; "127.0.0.1" when the machine has no such interface.
QString localIPv4Address();
