// The DNS update as a module (see notify/KindModule.h): ldns is loaded with it.

#include "dnsupdate/DnsUpdateNotifier.h"
#include "notify/KindModule.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT KindNotifier* vistrelMakeKindNotifier(NotificationHost& host)
{
    return new DnsUpdateNotifier(host);
}
