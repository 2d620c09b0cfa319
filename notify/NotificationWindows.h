#pragma once

#include "app/Form1Hooks.h"

#include <QPointer>

class Notifiers;
class NotificationHost;
class QWidget;
class frmConfigure;

/// The notification subsystem's windows as the main window sees them: the configuration dialog.
class NotificationWindows : public NotificationHooks
{
public:
    NotificationWindows(NotificationHost& host, Notifiers& notifiers, QWidget* dialogParent = nullptr);
    ~NotificationWindows() override;

    void showConfiguration() override;
    void unload() override;

    frmConfigure* configuration() const;

private:
    NotificationHost& m_host;
    Notifiers& m_notifiers;
    QWidget* m_dialogParent;
    QPointer<frmConfigure> m_dialog;
};
