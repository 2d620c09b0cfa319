#pragma once

#include "configure/PendingEdits.h"
#include "core/Notifiers.h"

#include <QHash>
#include <QWidget>

class KindTab;
class NotificationHost;
class QCloseEvent;
class QLineEdit;

/// "Notification Configuration": a tab for each notification (its fields, presets and test button), the address
/// sources and a copy of the main window's status line, updated as it changes. What is typed is written to the store
/// and the in-memory value once the typing pauses or the field is left, any other edit at once; closing stores what
/// is left. Not modal; discarded when closed (Close or Esc).
class frmConfigure : public QWidget
{
    Q_OBJECT
public:
    frmConfigure(NotificationHost& host, Notifiers& notifiers, QWidget* parent = nullptr);
    ~frmConfigure() override;

public slots:
    /// The fields show the settings as each tab is made; the status line shows the main window's.
    void Form_Load();
    /// A provider picked from the mail server list: its server, port and security fill in.
    void Combo3_Click(int index);
    void showStatus(const QString& text);
    void cmdSend_Click();
    void Command2_Click();
    void Command3_Click();
    /// Stores what was typed and is not stored yet.
    void storeEdits();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fitScreen(const QWidget* parent);

    NotificationHost& m_host;
    PendingEdits m_edits;
    QHash<Notifiers::Kind, KindTab*> m_tabs;
    QLineEdit* txtStatus = nullptr;
};
