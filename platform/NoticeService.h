#pragma once

#include <QObject>
#include <QString>

#include <functional>

/// The desktop's notification service (on Linux org.freedesktop.Notifications on the session bus). A call is
/// asynchronous and its answer comes back through the callback, so a service that is slow or never answers holds
/// nothing up.
class NoticeService : public QObject
{
    Q_OBJECT
public:
    struct Notice
    {
        QString application; ///< the program's name as the service shows it
        uint replaces = 0;   ///< the service's id of a notice of ours that this one replaces; 0 for none
        QString icon;        ///< an icon name or an absolute path to an image file
        QString summary;
        QString body;
        QString desktopEntry; ///< the program's desktop entry, without ".desktop"
    };
    /// The service's id for the shown notice, or 0 and why it was not shown.
    using Done = std::function<void(uint id, const QString& error)>;

    explicit NoticeService(QObject* parent = nullptr);

    /// Whether a service can be asked at all (on Linux: whether there is a session bus).
    [[nodiscard]] bool reachable() const;
    /// Sends @p notice and returns at once; @p done runs once, at most @p timeoutMs later, unless this object goes
    /// first.
    void show(const Notice& notice, int timeoutMs, Done done);
};
