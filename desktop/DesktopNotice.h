#pragma once

#include "core/AddressWatcher.h"
#include "platform/NoticeService.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

/// The desktop notice shown when an address changes: one notice of the desktop's notification service that each
/// newer change replaces. The call is asynchronous, so a notification service that is slow or never
/// answers holds nothing up. When no service takes the notice, the fallback (the tray icon's balloon) shows
/// it; without that either, nothing shows and nothing asks the user.
class DesktopNotice : public QObject
{
    Q_OBJECT
public:
    /// Shows the notice another way; returns false when there is no other way.
    using Fallback = std::function<bool(const QString& summary, const QString& body)>;

    /// A service that takes the call and never answers gets this long before the fallback shows the notice
    /// (the service's own time-out may be far longer).
    static constexpr int ReplyTimeoutMs = 10000;

    explicit DesktopNotice(QObject* parent = nullptr);

    void setFallback(Fallback fallback) { m_fallback = std::move(fallback); }
    /// Sends the notice and returns at once; finished() tells how it went.
    void show(const QList<AddressChange>& changes);
    /// Sends a notice of its own (the line's NAT state), which likewise replaces the one on screen.
    void show(const QString& summary, const QString& body);
    /// One line per change: "External: 198.51.100.1 → 203.0.113.7".
    static QString body(const QList<AddressChange>& changes);

signals:
    /// @p id is the service's id for the notice, 0 when it went to the fallback (@p shown) or nowhere.
    void finished(uint id, bool shown);

private:
    void failed(const QString& summary, const QString& body, const QString& why);
    QString iconForService() const;

    NoticeService m_service;
    Fallback m_fallback;
    uint m_shownId = 0;  // the service's id of the notice on screen, which the next one replaces
};
