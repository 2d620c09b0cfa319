#pragma once

#include "platform/NoticeService.h"
#include "platform/SecretStore.h"

class QObject;

/// What the Linux services need of D-Bus (the keyring through QtKeychain, the desktop's notices, logind's sleep),
/// in a module of their own (platform/Modules.h): a run that asks none of them loads neither Qt D-Bus nor the
/// keyring's library. The module exports a function DBusCallsEntry that returns this table; each call is that of
/// the service named.
struct DBusCalls
{
    enum class SecretJob
    {
        Read,
        Write,
        Remove,
    };
    /// SecretStore: runs @p job on @p service's secret @p key; @p done runs on a later turn of the event loop, as
    /// long as @p context lives.
    void (*runSecretJob)(QObject* context, SecretJob job, const QString& service, const QString& key,
                         const QString& secret, SecretStore::Done done);
    /// NoticeService::reachable() and show().
    bool (*sessionBusConnected)();
    void (*showNotice)(QObject* context, const NoticeService::Notice& notice, int timeoutMs,
                       NoticeService::Done done);
    /// NetworkChangeMonitor: logind's PrepareForSleep(bool) to @p slot of @p receiver; whether it is subscribed.
    bool (*watchSleep)(QObject* receiver, const char* slot);

    /// The table, the module loaded the first time; null and @p error when it cannot be.
    static const DBusCalls* load(QString* error);
};

using DBusCallsFunction = const DBusCalls* (*)();
inline constexpr char DBusCallsEntry[] = "vistrelDBusCalls";
