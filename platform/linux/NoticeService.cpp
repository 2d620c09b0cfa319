#include "platform/NoticeService.h"

#include "platform/linux/DBusCalls.h"

// org.freedesktop.Notifications on the session bus, through the D-Bus module (DBusCalls), loaded at the first call.

NoticeService::NoticeService(QObject* parent) : QObject(parent) {}

bool NoticeService::reachable() const
{
    QString error;
    const DBusCalls* calls = DBusCalls::load(&error);
    return calls && calls->sessionBusConnected();
}

void NoticeService::show(const Notice& notice, int timeoutMs, Done done)
{
    QString error;
    if (const DBusCalls* calls = DBusCalls::load(&error))
        return calls->showNotice(this, notice, timeoutMs, std::move(done));
    QMetaObject::invokeMethod(
        this, [done = std::move(done), error] { done(0, error); }, Qt::QueuedConnection);
}
