#include "discovery/DiscoveryLog.h"

// Per-source outcomes are debug lines: QT_LOGGING_RULES="vistrel.discovery.debug=true" shows them.
Q_LOGGING_CATEGORY(lcDiscovery, "vistrel.discovery", QtInfoMsg)
