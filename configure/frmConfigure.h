#pragma once

#include "configure/PendingEdits.h"
#include "core/Notifiers.h"
#include "notify/NotifySettingsEditor.h"

#include <QWidget>

class NotificationHost;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

/// "Notification Configuration": the fields of the notifications, the provider presets, the test buttons and a
/// copy of the main window's status line, updated as it changes. What is typed is written to the store and the
/// in-memory value once the typing pauses or the field is left, any other edit at once; closing stores what is
/// left. Not modal; discarded when closed (Close or Esc).
class frmConfigure : public QWidget
{
    Q_OBJECT
public:
    frmConfigure(NotificationHost& host, Notifiers& notifiers, QWidget* parent = nullptr);
    ~frmConfigure() override;

    /// The port a security choice usually has: 25, 587, 465, and 465 for SSL 2.0 as the old presets had it.
    static QString usualPort(MailSecurity security);

public slots:
    void Form_Load();
    void Combo3_Click(int index);
    /// A choice in the Security list: stored, and its usual port proposed.
    void cboSecurity_Click(int index);
    void cmdCertificates_Click();
    void cmdProgram_Click();
    void showStatus(const QString& text);
    void cmdSend_Click();
    void Command2_Click();
    void Command3_Click();
    /// Stores what was typed and is not stored yet.
    void storeEdits();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildEmailFrame();
    QWidget* buildProgramFrame();
    QWidget* buildWebFrame();
    void editText(QLineEdit* field, NotifySettingsEditor::Text which);
    void editFlag(QCheckBox* box, NotifySettingsEditor::Flag which);
    void showSecurity(MailSecurity security);
    void showPasswordPlace();
    void fitScreen(const QWidget* parent);
    /// The URL, command line and mail body as they would go out now.
    void showPreviews();

    NotificationHost& m_host;
    Notifiers& m_notifiers;
    NotifySettingsEditor m_editor;
    PendingEdits m_edits;
    QString m_hintServer; // the server of the preset whose hint is shown

    QComboBox* Combo3 = nullptr;
    QLabel* lblPresetHint = nullptr;
    QLineEdit* txtPort = nullptr;
    QLineEdit* txtEmailTo = nullptr;
    QLineEdit* txtEmailFrom = nullptr;
    QLineEdit* txtUsername = nullptr;
    QLineEdit* txtPassword2 = nullptr;
    QCheckBox* chkAuth = nullptr;
    QComboBox* cboSecurity = nullptr;
    QLabel* lblPasswordNote = nullptr;
    QLabel* lblPasswordPlace = nullptr;
    QLineEdit* txtTrustedCertificates = nullptr;
    QPushButton* cmdCertificates = nullptr;
    QComboBox* Combo2 = nullptr;
    QCheckBox* chkAttachment = nullptr;
    QCheckBox* chkBody = nullptr;
    QPlainTextEdit* txtBody = nullptr;
    QPushButton* cmdSend = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command3 = nullptr;
    QLineEdit* txtStatus = nullptr;
    QLabel* lblUrlPreview = nullptr;
    QLabel* lblProgramPreview = nullptr;
    QLabel* lblBodyPreview = nullptr;
};
