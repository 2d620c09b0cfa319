#pragma once

#include <QPointer>

class Notifiers;
class NotificationHost;
class QWidget;
class frmConfigure;

/// The configuration dialog, opened when the user asks for it and closed at shutdown.
class NotificationWindows
{
public:
    NotificationWindows(NotificationHost& host, Notifiers& notifiers, QWidget* dialogParent = nullptr);
    ~NotificationWindows();

    /// Opens the configuration dialog, not modal.
    void showConfiguration();
    /// Closes it at shutdown.
    void unload();

    frmConfigure* configuration() const;

private:
    NotificationHost& m_host;
    Notifiers& m_notifiers;
    QWidget* m_dialogParent;
    QPointer<frmConfigure> m_dialog;
};
