#include "nettools/NetToolsLog.h"

Q_LOGGING_CATEGORY(lcNetTools, "vistrel.nettools")
Q_LOGGING_CATEGORY(lcWhois, "vistrel.whois")
