#pragma once

#include "core/Notifiers.h"
#include "core/SettingsKeys.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class NotificationHost;
class PendingEdits;
class PasswordStore;
class QLabel;
class QPushButton;
class Settings;

/// One field of a notification's tab: the widget that shows and stores one settings key. A number's range comes
/// from the key table, and so does secrecy: a field whose key is secret is a masked text kept by the key's
/// password store where there is one, with a line under it that says where it is kept.
struct KindField
{
    enum class Widget
    {
        Text,           ///< a line edit
        OptionalNumber, ///< a line edit for a number above the key's least, which an empty field stores
        Number,         ///< a spin box over the key's range
        Flag,           ///< a check box, captioned by the label
        Choice,         ///< a list of the entries in choices
        File,           ///< a line edit with a "Browse..." button that picks a file
    };

    Widget widget;
    Key key;
    const char* objectName;
    QString label;                     ///< with its mnemonic
    QString hint = {};                 ///< grey text in an empty field; a number's least value is shown as it
    QString suffix = {};               ///< Number: its unit
    QStringList choices = {};          ///< Choice: the entries. File: the button's object and accessible names, the
                                       ///< picker's caption and its filter
    bool beside = false;               ///< on the row of the field before it, after that one
    std::optional<Key> enabledBy = {}; ///< a Flag of the same tab that must be ticked for the field to be used
    /// A secret: what the line under it (lbl<name>Place for txt<name>) says it keeps.
    QString secretName = QStringLiteral("password");
};

/// A notification's tab: its fields, its "Test Now" and where the outcome shows.
struct KindTabDescription
{
    QString tabText;        ///< with its mnemonic
    const char* objectName; ///< of the group box that holds the fields
    QString title;
    QString intro = {}; ///< a paragraph above the fields
    QList<KindField> fields;
    Notifiers::Kind kind;   ///< what Test Now sends
    const char* testName;   ///< Test Now's object name
    const char* resultName; ///< the label beside it, where the outcome shows
    QString testingText;    ///< shown there while the test runs
    std::function<void(Settings&)> beforeTest = {};
};

/// The tab made from a description: each field shows its key and stores its edits (typing through
/// PendingEdits, any other change at once); "Test Now" stores what is pending and sends the notification with
/// the addresses shown now.
class KindTab : public QWidget
{
    Q_OBJECT
public:
    KindTab(KindTabDescription description, NotificationHost& host, Notifiers& notifiers, PendingEdits& edits,
            QWidget* parent = nullptr);

public slots:
    void testNow();

private:
    QWidget* makeField(const KindField& field);
    QWidget* makeSecret(const KindField& field, QLabel* place);
    QWidget* makeFile(const KindField& field);

    KindTabDescription m_description;
    NotificationHost& m_host;
    Notifiers& m_notifiers;
    PendingEdits& m_edits;
    QPushButton* m_test = nullptr;
    QLabel* m_result = nullptr;
};
