#pragma once

#include "metrics/MetricFamilies.h"
#include "metrics/MetricsServer.h"

class AddressWatcher;
struct WatcherNotifications;

/// The watcher's counters for --metrics: what its signals tell, counted as they come, and served by a
/// MetricsServer. The names and their labels are in the README.
class WatcherMetrics
{
public:
    WatcherMetrics(AddressWatcher& watcher, WatcherNotifications& notifications);

    /// Serves the metrics on @p listen ("127.0.0.1:9464", or a port alone for loopback); false with @p error.
    [[nodiscard]] bool listen(const QString& listen, QString* error);

private:
    MetricFamilies m_families;
    MetricsServer m_server;
};
