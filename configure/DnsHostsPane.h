#pragma once

#include "dnsapi/DnsHostEntry.h"

#include <QGroupBox>
#include <QList>
#include <QMap>

#include <optional>

class NotificationHost;
class Notifiers;
class PasswordStore;
class PendingEdits;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
struct DnsProviderField;
struct DnsProviderInfo;

/// "DNS Hosts": the DNS-host entries (DnsHostEntries), one shown at a time. Entry 0, the Cloudflare entry of earlier
/// versions, is listed only while its old keys hold something. The fields follow the provider chosen (from
/// DnsProviders, each field of it a line, its secrets masked and kept in the entry's password store); the names are
/// a table of their own. Every edit is checked at once and stored (typing through PendingEdits); a value the entry
/// cannot keep is not stored, stays shown and the reason shows under it. "Test Now" reads what an update would
/// change and offers "Update Now", which does it; any edit in between asks for a new reading.
class DnsHostsPane : public QGroupBox
{
    Q_OBJECT
public:
    DnsHostsPane(NotificationHost& host, Notifiers& notifiers, PendingEdits& edits, QWidget* parent = nullptr);

    /// The entry shown (DnsHostEntries::First to Last); -1 when a new one was asked for and all are taken.
    int entry() const { return m_entry; }
    /// The entry as the fields hold it; nothing, with @p error saying why, when it holds a value it cannot keep.
    std::optional<DnsHostEntry> shownEntry(QString* error) const;

public slots:
    /// Shows entry number @p index of the chooser ("New entry": the first free one, empty).
    void showEntry(int index);
    void chooseProvider(int index);
    /// Stores the entry shown and its secret; false, with the reason under it, when it cannot be kept.
    bool store();
    /// Test Now: reads what would change. Update Now (offered after a reading): changes it.
    void testNow();
    void removeEntry();
    void addName();
    void removeName();

private:
    enum class Step
    {
        Read,   // Test Now: what would change
        Update, // Update Now: change it
    };

    /// Fills the chooser with the entries there are, @p select shown (-1: "New entry").
    void listEntries(int select);
    QString entryLabel(int entry) const;
    /// The provider shown.
    const DnsProviderInfo& provider() const;
    /// Makes the provider's rows anew (its fields from m_values, its links, the zone where it has one).
    void showProvider();
    void showNames(const QList<DnsHostName>& names);
    /// Typed into @p field: stored once the typing pauses.
    void edited(QWidget* field);
    /// Any other edit: stored now.
    void changed();
    void setStep(Step step);
    PasswordStore* secretStore() const;
    QString storedSecret() const;
    /// The secret as the store keeps it: a single secret field's value itself, several as one JSON object.
    QString shownSecret() const;
    /// What the entry still lacks to be sent ("the zone", "API token"), none when complete.
    QStringList missing(const DnsHostEntry& value) const;

    NotificationHost& m_host;
    Notifiers& m_notifiers;
    PendingEdits& m_edits;
    bool m_loading = false;
    int m_entry = -1;
    bool m_new = false;              // the entry shown is not stored yet
    QMap<QString, QString> m_values; // every provider field typed for this entry, by name: kept across providers
    QList<std::pair<const DnsProviderField*, QLineEdit*>> m_fields; // the provider's fields as shown
    Step m_step = Step::Read;
    int m_edit = 0; // counts edits: a reading is offered for an update only when none came since

    QFormLayout* m_form = nullptr;
    int m_fieldsRow = 0; // where the provider's fields begin in m_form
    QComboBox* cmbEntry = nullptr;
    QPushButton* cmdRemove = nullptr;
    QCheckBox* chkOn = nullptr;
    QComboBox* cmbProvider = nullptr;
    QLabel* lblLinks = nullptr;
    QLineEdit* txtZone = nullptr;
    QLabel* lblSecretPlace = nullptr;
    QLineEdit* txtLabel = nullptr;
    QLineEdit* txtApi = nullptr;
    QTableWidget* tblNames = nullptr;
    QPushButton* cmdAddName = nullptr;
    QPushButton* cmdRemoveName = nullptr;
    QLabel* lblMessage = nullptr;
    QPushButton* cmdTest = nullptr;
    QLabel* lblResult = nullptr;
};
