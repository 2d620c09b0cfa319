#include "platform/NoticeService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
}

NoticeService::NoticeService(QObject* parent) : QObject(parent) {}

bool NoticeService::reachable() const
{
    return QDBusConnection::sessionBus().isConnected();
}

void NoticeService::show(const Notice& notice, int timeoutMs, Done done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, QStringLiteral("/org/freedesktop/Notifications"),
                                                       Service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), notice.desktopEntry}};
    call << notice.application << notice.replaces << notice.icon << notice.summary << notice.body << QStringList()
         << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError())
            return done(0, reply.error().name());
        done(reply.value(), QString());
    });
}
