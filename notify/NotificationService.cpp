#include "notify/NotificationService.h"

#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "notify/frmConfigure.h"

NotificationService::NotificationService(NotificationHost& host, ProcessLauncher& launcher, QWidget* dialogParent)
    : m_host(host), m_dialogParent(dialogParent), m_program(host, launcher), m_web(host), m_session(host)
{
}

NotificationService::~NotificationService()
{
    if (m_dialog)
        delete m_dialog.data();
}

void NotificationService::cmdSend_Click()
{
    PasswordStore* passwords = m_host.passwordStore();
    if (!passwords) {
        m_session.cmdSend_Click();
        return;
    }
    // A mail asked for before the keyring answered waits for its password; the store's copy also wins over a
    // settings file read again since (which no longer holds the password).
    passwords->whenReady(&m_session, [this, passwords] {
        passwords->applyTo(m_host.notifySettings());
        m_session.cmdSend_Click();
    });
}

void NotificationService::doHitURL()
{
    m_web.doHitURL();
}

void NotificationService::doLauchProg()
{
    m_program.doLauchProg();
}

void NotificationService::showConfiguration()
{
    if (!m_dialog)
        m_dialog = new frmConfigure(m_host, *this, m_dialogParent);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void NotificationService::unload()
{
    if (m_dialog)
        m_dialog->close();
    m_session.abort();
}
