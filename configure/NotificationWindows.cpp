#include "configure/NotificationWindows.h"

#include "configure/frmConfigure.h"

NotificationWindows::NotificationWindows(NotificationHost& host, Notifiers& notifiers, QWidget* dialogParent)
    : m_host(host), m_notifiers(notifiers), m_dialogParent(dialogParent)
{
}

NotificationWindows::~NotificationWindows()
{
    if (m_dialog)
        delete m_dialog.data();
}

void NotificationWindows::showConfiguration()
{
    if (!m_dialog)
        m_dialog = new frmConfigure(m_host, m_notifiers, m_dialogParent);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void NotificationWindows::unload()
{
    if (m_dialog)
        m_dialog->close();
}

frmConfigure* NotificationWindows::configuration() const
{
    return m_dialog;
}
