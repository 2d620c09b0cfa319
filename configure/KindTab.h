#pragma once

#include "core/Notifiers.h"
#include "core/SettingsKeys.h"
#include "notify/NotifySettingsEditor.h"
#include "notify/Placeholders.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class KindTab;
class NotificationHost;
class PendingEdits;
class PasswordStore;
class QCheckBox;
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
        Number,         ///< a narrow spin box over the key's range; the hint stands for its least value
        Flag,           ///< a check box, captioned by the label
        Choice,         ///< a list of the entries in choices
        List,           ///< a text with a list of the entries in choices to pick from
        Lines,          ///< a text of several lines across the row, stored with CR LF between them; the field
                        ///< before it captions it and the label is its accessible name
        File,           ///< a line edit with a "Browse..." button that picks a file
        Note,           ///< the label as a paragraph across the row, storing nothing
    };

    Widget widget;
    std::optional<Key> key = {}; ///< none: a Note, or a box that stores nothing
    const char* objectName;
    QString label = {};       ///< with its mnemonic
    QString hint = {};        ///< grey text in an empty field; a number's least value is shown as it
    QString suffix = {};      ///< Number: its unit
    QStringList choices = {}; ///< Choice, List: the entries. File: the button's object and accessible names, the
                              ///< picker's caption, its filter and the button's text when it has a mnemonic.
                              ///< Note with a key: the values of that key's field it is shown for (none:
                              ///< hidden until KindTab::showNote)
    QStringList values = {};  ///< Choice: what each entry stores, when not its text
    bool beside = false;      ///< on the row of the field before it, after that one
    bool wrap = false;        ///< Flag: a long label, wrapped beside the box (lbl<name> for chk<name>)
    std::optional<Key> enabledBy = {}; ///< a Flag of the same tab that must be ticked for the field to be used
    /// A secret: what the line under it (lbl<name>Place for txt<name>, a number at its end left out) says it keeps.
    QString secretName = QStringLiteral("password");
    QString tip = {}; ///< the field's tool tip
    int width = 0;    ///< at most this wide (a port)
    /// Text, Lines: the object name of an "Insert" button beside it that types one of the placeholders at the cursor.
    const char* insertName = nullptr;
    QList<Placeholder> placeholders = {};
    /// Choice, List: what picking an entry does besides showing it, such as a preset filling in other fields.
    std::function<void(KindTab& tab, int entry)> chosen = {};
};

/// A notification's tab, every one alike: its on/off switch at the top (the kind's key, the same one the main window
/// may show), its fields, "Test Now" under them and its outcome beside it.
struct KindTabDescription
{
    QString tabText;        ///< without a mnemonic: Ctrl+Tab goes from tab to tab, the fields keep the Alt keys
    const char* objectName; ///< of the group box that holds the fields
    QString title;          ///< also Test Now's accessible description
    const char* switchName; ///< the check box of the kind's key (NotifierKinds), first in the box
    QString switchLabel;    ///< with its mnemonic
    QString intro = {};     ///< a paragraph under the switch
    QList<KindField> fields;
    Notifiers::Kind kind;    ///< what Test Now sends
    const char* testName;    ///< Test Now's object name
    const char* resultName;  ///< the label beside it, where the outcome shows
    QString testingText = QStringLiteral("Testing...");
    /// What the outcome label says of @p result; none: its message.
    std::function<std::function<QString(const NotificationResult&)>(NotificationHost&)> resultText = {};
    /// A label under the fields (of the name previewName) that shows what the notification would send now.
    const char* previewName = nullptr;
    std::function<QString(NotificationHost&)> preview = {};
    /// A pane of its own under the tab's fields.
    std::function<QWidget*(NotificationHost&, Notifiers&, PendingEdits&)> pane = {};
};

/// The tab made from a description: each field shows its key and stores its edits (typing through
/// PendingEdits, any other change at once); "Test Now" stores what is pending and sends the notification with
/// the addresses shown now. A key that the notifiers read from memory (NotifySettings) is read there and written
/// there and to the store.
class KindTab : public QWidget
{
    Q_OBJECT
public:
    KindTab(KindTabDescription description, NotificationHost& host, Notifiers& notifiers, PendingEdits& edits,
            QWidget* parent = nullptr);

    /// What the field of @p key shows, as it would be stored.
    QString value(Key key) const;
    /// Shows @p value in the field of @p key, stored as an edit of it.
    void setValue(Key key, const QString& value);
    /// Picks entry @p entry of the list of @p key, as the user does.
    void choose(Key key, int entry);
    /// Shows @p text in the Note @p objectName for as long as the field of its key holds what it holds now.
    void showNote(const char* objectName, const QString& text);

public slots:
    void testNow();
    void showPreview();

private:
    QCheckBox* makeSwitch();
    QWidget* makeField(const KindField& field);
    QWidget* makeSecret(const KindField& field, QLabel* place);
    QWidget* makeFile(const KindField& field);
    QLabel* makeNote(const KindField& field);
    const KindField* fieldOf(Key key) const;
    /// Typed into @p widget, the field of @p key: stored once the typing pauses, by @p store or as value() has it.
    void typed(QWidget* widget, Key key, std::function<void()> store = {});
    void store(Key key, const QString& value);
    /// The field of @p key changed: the Notes about it follow.
    void changed(Key key);

    KindTabDescription m_description;
    NotificationHost& m_host;
    Notifiers& m_notifiers;
    PendingEdits& m_edits;
    NotifySettingsEditor m_values;
    QHash<Key, QWidget*> m_fields; // the widget that holds each key's value
    struct Note
    {
        QLabel* label;
        std::optional<Key> about;
        QStringList shownFor; // the values of that key's field it is shown for
    };
    QList<Note> m_notes;
    QPushButton* m_test = nullptr;
    QLabel* m_result = nullptr;
    QLabel* m_preview = nullptr;
};
