#include "platform/NoticeService.h"

#include <QTimer>

// Windows has no notification service to call: its notifications are the tray icon's balloon messages, which the
// caller shows when the service is not reachable.

NoticeService::NoticeService(QObject* parent) : QObject(parent) {}

bool NoticeService::reachable() const
{
    return false;
}

void NoticeService::show(const Notice&, int, Done done)
{
    QTimer::singleShot(0, this, [done = std::move(done)] { done(0, QStringLiteral("not available")); });
}
