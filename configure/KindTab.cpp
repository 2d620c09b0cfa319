#include "configure/KindTab.h"

#include "configure/PendingEdits.h"
#include "configure/PlaceholderTools.h"
#include "core/NotifierKinds.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "widgets/WidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QLabel* wrapped(const QString& objectName, const QString& text = {})
{
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    return label;
}

QHBoxLayout* rowOf(QWidget* widget)
{
    auto* row = new QHBoxLayout;
    row->addWidget(widget, widget->sizePolicy().horizontalPolicy() == QSizePolicy::Fixed ? 0 : 1);
    return row;
}

// A text of several lines shows "\n" between them; the store and the mail hold CR LF.
QString linesForStore(QString shown)
{
    return shown.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString linesForDisplay(QString stored)
{
    return stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
} // namespace

KindTab::KindTab(KindTabDescription description, NotificationHost& host, Notifiers& notifiers, PendingEdits& edits,
                 QWidget* parent)
    : QWidget(parent), m_description(std::move(description)), m_host(host), m_notifiers(notifiers), m_edits(edits),
      m_values(host.settings(), host.notifySettings())
{
    auto* box = named(new QGroupBox(m_description.title), m_description.objectName);
    auto* inside = new QVBoxLayout(box);
    inside->addWidget(makeSwitch());
    if (!m_description.intro.isEmpty())
        inside->addWidget(wrapped({}, m_description.intro));
    auto* form = new QFormLayout;
    inside->addLayout(form);
    QHBoxLayout* lastRow = nullptr;
    for (const KindField& field : std::as_const(m_description.fields)) {
        if (field.widget == KindField::Widget::Note) {
            // Across the row: a wrapped label in the column of the fields would be given the height of a narrower one.
            form->addRow(makeNote(field));
            continue;
        }
        const bool secret = field.key && keyInfo(*field.key).secret == Secret::Yes;
        // Where a secret is kept shows under it: lblMqttPasswordPlace for txtMqttPassword.
        QLabel* place = secret ? new QLabel : nullptr;
        if (place) {
            QString name = QLatin1String(field.objectName).mid(3);
            while (name.back().isDigit())
                name.chop(1);
            place->setObjectName(QStringLiteral("lbl%1Place").arg(name));
        }
        QWidget* widget = secret ? makeSecret(field, place) : makeField(field);
        QWidget* valued = widget->focusProxy() ? widget->focusProxy() : widget; // a file's text box, not its row
        if (field.key)
            m_fields.insert(*field.key, valued);
        QWidget* insert = nullptr;
        if (auto* edit = qobject_cast<QLineEdit*>(valued); edit && field.insertName)
            insert = placeholderButton(field.insertName, field.placeholders, edit);
        if (auto* lines = qobject_cast<QPlainTextEdit*>(valued); lines && field.insertName)
            insert = placeholderButton(field.insertName, field.placeholders, lines);

        if (field.widget == KindField::Widget::Flag && field.wrap) {
            // The box carries the long caption as its name, a wrapped label beside it shows it.
            auto* caption = wrapped(QStringLiteral("lbl%1").arg(QLatin1String(field.objectName).mid(3)), field.label);
            caption->setBuddy(widget);
            auto* row = new QHBoxLayout;
            row->addWidget(widget, 0, Qt::AlignTop);
            row->addWidget(caption, 1);
            form->addRow(row);
            lastRow = nullptr;
        } else if (field.widget == KindField::Widget::Lines) {
            lastRow = rowOf(widget);
            form->addRow(lastRow);
        } else if (field.beside && lastRow) {
            if (field.widget != KindField::Widget::Flag)
                lastRow->addWidget(buddyLabel(field.label, valued));
            // Two fields on a row share it; a box or a field of a fixed size takes what it needs.
            const bool shares = field.widget != KindField::Widget::Flag &&
                                widget->sizePolicy().horizontalPolicy() != QSizePolicy::Fixed;
            lastRow->addWidget(widget, shares ? 1 : 0);
        } else if (field.widget == KindField::Widget::Flag) {
            form->addRow(static_cast<QWidget*>(nullptr), widget);
            lastRow = nullptr;
        } else {
            lastRow = rowOf(widget);
            form->addRow(buddyLabel(field.label, valued), lastRow);
        }
        if (insert && lastRow)
            lastRow->addWidget(insert);
        if (place)
            form->addRow(static_cast<QWidget*>(nullptr), place);
    }
    for (const KindField& field : std::as_const(m_description.fields)) {
        if (!field.enabledBy)
            continue;
        QWidget* widget = m_fields.value(*field.key);
        if (QWidget* row = widget->parentWidget(); row && row->focusProxy() == widget)
            widget = row; // a file's button goes with its text box
        const auto* flag = qobject_cast<QCheckBox*>(m_fields.value(*field.enabledBy));
        widget->setEnabled(flag->isChecked());
        connect(flag, &QCheckBox::toggled, widget, &QWidget::setEnabled);
    }
    for (const Note& note : std::as_const(m_notes)) {
        if (note.about)
            changed(*note.about);
    }

    if (m_description.preview) {
        m_preview = previewLabel(m_description.previewName);
        inside->addWidget(m_preview);
        showPreview();
    }
    m_test = named(new QPushButton(QStringLiteral("Test Now")), m_description.testName);
    m_test->setAccessibleDescription(m_description.title);
    m_result = wrapped(m_description.resultName);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(m_test, 0, Qt::AlignTop);
    testRow->addWidget(m_result, 1);
    inside->addLayout(testRow);
    connect(m_test, &QPushButton::clicked, this, &KindTab::testNow);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    if (m_description.pane)
        layout->addWidget(m_description.pane(host, notifiers, edits));
    layout->addStretch(1);
}

const KindField* KindTab::fieldOf(Key key) const
{
    for (const KindField& field : m_description.fields) {
        if (field.key == key && field.widget != KindField::Widget::Note)
            return &field;
    }
    return nullptr;
}

QCheckBox* KindTab::makeSwitch()
{
    const Key key = notifierKind(m_description.kind).settingsKey;
    auto* box = named(new QCheckBox(m_description.switchLabel), m_description.switchName);
    box->setChecked(m_host.settings().readFlag(key));
    m_fields.insert(key, box);
    connect(box, &QCheckBox::toggled, this, [this, key](bool on) {
        m_edits.storeNow([this, key, on] { m_host.settings().writeFlag(key, on); });
    });
    // Another window (the main window's box) switched it: this one shows it.
    connect(&m_host.settings(), &Settings::changed, box, [this, box, key](Key changed) {
        if (changed != key)
            return;
        const QSignalBlocker shownNotEdited(box);
        box->setChecked(m_host.settings().readFlag(key));
    });
    return box;
}

QWidget* KindTab::makeField(const KindField& field)
{
    const std::optional<Key> key = field.key;
    switch (field.widget) {
    case KindField::Widget::Flag: {
        auto* box = named(new QCheckBox(field.wrap ? QString() : field.label), field.objectName);
        if (field.wrap)
            box->setAccessibleName(field.label);
        if (!key)
            return box; // shown, storing nothing
        box->setChecked(m_values.readFlag(*key));
        connect(box, &QCheckBox::toggled, this, [this, key = *key](bool on) {
            changed(key);
            m_edits.storeNow([this, key, on] { store(key, on ? QStringLiteral("1") : QStringLiteral("0")); });
        });
        return box;
    }
    case KindField::Widget::Number: {
        const KeyInfo& info = keyInfo(*key);
        auto* box = named(new QSpinBox, field.objectName);
        box->setRange(info.min, info.max);
        box->setSuffix(field.suffix);
        box->setSpecialValueText(field.hint);
        bool number = false; // the value the notifiers hold, where they keep it in memory
        const int shown = m_values.read(*key).toInt(&number);
        box->setValue(number && shown >= info.min && shown <= info.max ? shown : m_host.settings().readInt(*key));
        box->setKeyboardTracking(false); // a number is stored when it is complete, not digit by digit
        box->setToolTip(field.tip);
        box->setSizePolicy(QSizePolicy::Fixed, box->sizePolicy().verticalPolicy());
        connect(box, &QSpinBox::valueChanged, this, [this, key = *key](int value) {
            m_edits.storeNow([this, key, value] { store(key, QString::number(value)); });
        });
        return box;
    }
    case KindField::Widget::Choice: {
        auto* list = named(new QComboBox, field.objectName);
        for (qsizetype i = 0; i < field.choices.size(); ++i)
            list->addItem(field.choices.at(i), field.values.value(i, field.choices.at(i)));
        list->setCurrentIndex(std::max(0, list->findData(m_values.read(*key))));
        connect(list, &QComboBox::currentIndexChanged, this, [this, list, key = *key] {
            changed(key);
            m_edits.storeNow([this, list, key] { store(key, list->currentData().toString()); });
        });
        connect(list, &QComboBox::activated, this, [this, key = *key](int entry) { choose(key, entry); });
        return list;
    }
    case KindField::Widget::List: {
        auto* list = named(new QComboBox, field.objectName);
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        list->setCompleter(nullptr); // a completion would store text the user never typed
        list->lineEdit()->setPlaceholderText(field.hint);
        list->addItems(field.choices);
        list->setEditText(m_values.read(*key));
        connect(list, &QComboBox::editTextChanged, this, [this, list, key = *key] { typed(list->lineEdit(), key); });
        connect(list, &QComboBox::activated, this, [this, key = *key](int entry) { choose(key, entry); });
        return list;
    }
    case KindField::Widget::Lines: {
        auto* edit = named(new QPlainTextEdit(linesForDisplay(m_values.read(*key))), field.objectName);
        edit->setAccessibleName(field.label);
        edit->setTabChangesFocus(true); // Tab leaves the field, as in every other one
        edit->setFixedHeight(90);
        connect(edit, &QPlainTextEdit::textChanged, this, [this, edit, key = *key] { typed(edit, key); });
        return edit;
    }
    case KindField::Widget::File:
        return makeFile(field);
    case KindField::Widget::Text:
    case KindField::Widget::Note:
        break;
    }
    auto* edit = named(new QLineEdit, field.objectName);
    edit->setPlaceholderText(field.hint);
    edit->setToolTip(field.tip);
    if (field.width)
        edit->setMaximumWidth(field.width);
    edit->setText(m_values.read(*key));
    // textChanged, not textEdited: what a preset fills in is an edit like a keystroke.
    connect(edit, &QLineEdit::textChanged, this, [this, edit, key = *key] { typed(edit, key); });
    return edit;
}

QWidget* KindTab::makeSecret(const KindField& field, QLabel* place)
{
    auto* edit = named(new QLineEdit, field.objectName);
    edit->setPlaceholderText(field.hint);
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    const Key key = *field.key;
    const QString what = field.secretName;
    PasswordStore* store = m_host.secretStore(key);
    connect(edit, &QLineEdit::textChanged, this, [this, edit, key] {
        typed(edit, key, [this, edit, key] {
            if (PasswordStore* keeper = m_host.secretStore(key))
                keeper->save(edit->text());
            else
                this->store(key, edit->text());
        });
    });
    const QSignalBlocker shownNotEdited(edit);
    if (!store) {
        edit->setText(m_values.read(key));
        place->setText(QStringLiteral("The %1 is kept in the settings").arg(what));
        return edit;
    }
    edit->setText(store->password());
    const auto showPlace = [place, store, what] { place->setText(store->placeText(what)); };
    showPlace();
    connect(store, &PasswordStore::placeChanged, place, showPlace);
    // Opened before the keyring answered: the field shows what it keeps once that is known.
    store->whenReady(edit, [edit, store] {
        const QSignalBlocker shownNotEdited(edit);
        edit->setText(store->password());
    });
    return edit;
}

QWidget* KindTab::makeFile(const KindField& field)
{
    // choices: the button's object name, its accessible name, the picker's caption, its filter and text
    auto* row = new QWidget;
    row->setObjectName(QLatin1String(field.objectName) + QStringLiteral("Row"));
    auto* edit = named(new QLineEdit(m_values.read(*field.key)), field.objectName);
    edit->setPlaceholderText(field.hint);
    edit->setToolTip(field.tip);
    auto* browse = new QPushButton(field.choices.value(4, QStringLiteral("Browse...")));
    browse->setObjectName(field.choices.value(0));
    browse->setAccessibleName(field.choices.value(1));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit, 1);
    layout->addWidget(browse);
    row->setFocusProxy(edit);
    const Key key = *field.key;
    connect(edit, &QLineEdit::textChanged, this, [this, edit, key] { typed(edit, key); });
    connect(browse, &QPushButton::clicked, this,
            [this, edit, caption = field.choices.value(2), filter = field.choices.value(3)] {
                const QString file = QFileDialog::getOpenFileName(this, caption, edit->text(), filter);
                if (!file.isEmpty())
                    edit->setText(file);
                m_edits.storeNow();
            });
    return row;
}

QLabel* KindTab::makeNote(const KindField& field)
{
    QLabel* label = wrapped(QLatin1String(field.objectName), field.label);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (field.key && !field.choices.isEmpty()) {
        QSizePolicy keepRoom = label->sizePolicy();
        keepRoom.setRetainSizeWhenHidden(true); // the tab keeps its size whichever value the field holds
        label->setSizePolicy(keepRoom);
    }
    m_notes.append({label, field.key, field.choices});
    return label;
}

QString KindTab::value(Key key) const
{
    QWidget* widget = m_fields.value(key);
    if (const auto* box = qobject_cast<QCheckBox*>(widget))
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (const auto* box = qobject_cast<QSpinBox*>(widget))
        return QString::number(box->value());
    if (const auto* list = qobject_cast<QComboBox*>(widget))
        return list->isEditable() ? list->currentText() : list->currentData().toString();
    if (const auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        return linesForStore(edit->toPlainText());
    if (const auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    return {};
}

void KindTab::setValue(Key key, const QString& value)
{
    QWidget* widget = m_fields.value(key);
    if (auto* box = qobject_cast<QCheckBox*>(widget))
        box->setChecked(value.toInt() != 0);
    else if (auto* box = qobject_cast<QSpinBox*>(widget))
        box->setValue(value.toInt());
    else if (auto* list = qobject_cast<QComboBox*>(widget))
        list->isEditable() ? list->setEditText(value) : list->setCurrentIndex(list->findData(value));
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        edit->setPlainText(linesForDisplay(value));
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(value);
}

void KindTab::choose(Key key, int entry)
{
    auto* list = qobject_cast<QComboBox*>(m_fields.value(key));
    const KindField* field = fieldOf(key);
    if (!list || !field || entry < 0 || entry >= list->count())
        return;
    list->setCurrentIndex(entry);
    if (field->chosen)
        field->chosen(*this, entry);
    m_edits.storeNow(); // a choice is stored at once, with what it filled in
}

void KindTab::showNote(const char* objectName, const QString& text)
{
    for (Note& note : m_notes) {
        if (note.label->objectName() != QLatin1String(objectName))
            continue;
        note.label->setText(text);
        note.shownFor = note.about ? QStringList{value(*note.about)} : QStringList{};
        note.label->setVisible(true);
    }
}

void KindTab::changed(Key key)
{
    for (const Note& note : std::as_const(m_notes)) {
        if (note.about == key)
            note.label->setVisible(note.shownFor.contains(value(key)));
    }
}

void KindTab::typed(QWidget* widget, Key key, std::function<void()> store)
{
    changed(key);
    if (!store)
        store = [this, key] { this->store(key, value(key)); };
    m_edits.defer(widget, std::move(store));
}

void KindTab::store(Key key, const QString& value)
{
    m_values.write(key, value);
    showPreview();
}

void KindTab::showPreview()
{
    if (m_preview)
        m_preview->setText(m_description.preview(m_host));
}

void KindTab::testNow()
{
    m_edits.storeNow(); // the test sends what the fields show
    m_test->setEnabled(false);
    m_result->setText(m_description.testingText);
    std::function<QString(const NotificationResult&)> text = [](const NotificationResult& result) {
        return result.message.isEmpty() ? QStringLiteral("Ended") : result.message;
    };
    if (m_description.resultText)
        text = m_description.resultText(m_host);
    m_notifiers.test(m_description.kind, 0, [tab = QPointer(this), text](const NotificationResult& result) {
        if (!tab)
            return;
        tab->m_test->setEnabled(true);
        tab->m_result->setText(text(result));
    });
}
