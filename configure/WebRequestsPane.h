#pragma once

#include "notify/WebRequest.h"

#include <QGroupBox>

class NotificationHost;
class Notifiers;
class PendingEdits;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

/// "Web Requests": the web requests beyond the first (2 to 9), one shown at a time. Every edit is checked at once
/// and stored (typing through PendingEdits); a request that cannot be sent, such as a JSON body that is no JSON
/// once filled, is not stored and the reason shows under it. The secret goes to the keyring through the entry's
/// password store and is shown masked. A preset fills the shape for a service; "Test Now" sends the request shown with
/// the current addresses.
class WebRequestsPane : public QGroupBox
{
    Q_OBJECT
public:
    WebRequestsPane(NotificationHost& host, Notifiers& notifiers, PendingEdits& edits, QWidget* parent = nullptr);

    /// The entry shown (WebEntries::First to Last).
    int entry() const;
    /// The request as the fields hold it.
    WebRequest shownRequest() const;

public slots:
    void showEntry(int index);
    void applyPreset(int index);
    /// Stores the request shown; false, with the reason under it, when it cannot be sent.
    bool store();
    void storeSecret();
    void testNow();
    void removeEntry();

private:
    /// Typed into @p field: checked now, stored once the typing pauses.
    void edited(QWidget* field);
    void showNotSaved(const QString& error);
    /// When the shown entry is sent, and its failed lookup's URL: shown from the settings, stored from the fields.
    void showSends();
    void storeSends();
    void updatePreview(const WebRequest& request);
    QString entryLabel(int entry) const;

    NotificationHost& m_host;
    Notifiers& m_notifiers;
    PendingEdits& m_edits;
    bool m_loading = false;
    int m_shown = 0; // the index of the entry the fields hold

    QComboBox* cmbEntry = nullptr;
    QCheckBox* chkOn = nullptr;
    QComboBox* cmbSends = nullptr;  // when the request goes: on a change, or as a ping after lookups
    QLineEdit* txtFailUrl = nullptr;
    QLineEdit* txtName = nullptr;
    QComboBox* cmbPreset = nullptr;
    QComboBox* cmbMethod = nullptr;
    QLineEdit* txtUrl = nullptr;
    QPlainTextEdit* txtHeaders = nullptr;
    QComboBox* cmbBodyType = nullptr;
    QPlainTextEdit* txtBody = nullptr;
    QLineEdit* txtSecret = nullptr;
    QLabel* lblSecret = nullptr;
    QLabel* lblPreview = nullptr;
    QLabel* lblMessage = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* cmdRemove = nullptr;
};
