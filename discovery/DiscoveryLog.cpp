#include "discovery/DiscoveryLog.h"

Q_LOGGING_CATEGORY(lcDiscovery, "vistrel.discovery")
