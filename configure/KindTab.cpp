#include "configure/KindTab.h"

#include "configure/PendingEdits.h"
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
#include <QHash>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
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
} // namespace

KindTab::KindTab(KindTabDescription description, NotificationHost& host, Notifiers& notifiers, PendingEdits& edits,
                 QWidget* parent)
    : QWidget(parent), m_description(std::move(description)), m_host(host), m_notifiers(notifiers), m_edits(edits)
{
    auto* box = named(new QGroupBox(m_description.title), m_description.objectName);
    auto* inside = new QVBoxLayout(box);
    if (!m_description.intro.isEmpty())
        inside->addWidget(wrapped({}, m_description.intro));
    auto* form = new QFormLayout;
    inside->addLayout(form);
    QHBoxLayout* lastRow = nullptr;
    QHash<Key, QWidget*> made;
    for (const KindField& field : std::as_const(m_description.fields)) {
        const bool secret = keyInfo(field.key).secret == Secret::Yes;
        // Where a secret is kept shows under it: lblMqttPasswordPlace for txtMqttPassword.
        QLabel* place = secret ? new QLabel : nullptr;
        if (place)
            place->setObjectName(QStringLiteral("lbl%1Place").arg(QLatin1String(field.objectName).mid(3)));
        QWidget* widget = secret ? makeSecret(field, place) : makeField(field);
        made.insert(field.key, widget);
        QWidget* buddy = widget->focusProxy() ? widget->focusProxy() : widget; // a file's text box, not its row
        if (field.widget == KindField::Widget::Flag) {
            form->addRow(static_cast<QWidget*>(nullptr), widget);
            lastRow = nullptr;
        } else if (field.beside && lastRow) {
            lastRow->addWidget(buddyLabel(field.label, buddy));
            lastRow->addWidget(widget);
        } else {
            lastRow = rowOf(widget);
            form->addRow(buddyLabel(field.label, buddy), lastRow);
        }
        if (place)
            form->addRow(static_cast<QWidget*>(nullptr), place);
    }
    for (const KindField& field : std::as_const(m_description.fields)) {
        if (!field.enabledBy)
            continue;
        QWidget* widget = made.value(field.key);
        const auto* flag = qobject_cast<QCheckBox*>(made.value(*field.enabledBy));
        widget->setEnabled(flag->isChecked());
        connect(flag, &QCheckBox::toggled, widget, &QWidget::setEnabled);
    }

    m_test = named(new QPushButton(QStringLiteral("Test Now")), m_description.testName);
    m_test->setAccessibleDescription(QString(m_description.tabText).remove(u'&'));
    m_result = wrapped(m_description.resultName);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(m_test, 0, Qt::AlignTop);
    testRow->addWidget(m_result, 1);
    inside->addLayout(testRow);
    connect(m_test, &QPushButton::clicked, this, &KindTab::testNow);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch(1);
}

QWidget* KindTab::makeField(const KindField& field)
{
    Settings& settings = m_host.settings();
    const KeyInfo& info = keyInfo(field.key);
    const Key key = field.key;
    switch (field.widget) {
    case KindField::Widget::Flag: {
        auto* box = named(new QCheckBox(field.label), field.objectName);
        box->setChecked(settings.readFlag(key));
        connect(box, &QCheckBox::toggled, this,
                [this, key](bool on) { m_edits.storeNow([this, key, on] { m_host.settings().writeFlag(key, on); }); });
        return box;
    }
    case KindField::Widget::Number: {
        auto* box = named(new QSpinBox, field.objectName);
        box->setRange(info.min, info.max);
        box->setSuffix(field.suffix);
        box->setSpecialValueText(field.hint);
        box->setValue(settings.readInt(key));
        box->setKeyboardTracking(false); // a number is stored when it is complete, not digit by digit
        box->setSizePolicy(QSizePolicy::Fixed, box->sizePolicy().verticalPolicy());
        connect(box, &QSpinBox::valueChanged, this, [this, key](int value) {
            m_edits.storeNow([this, key, value] { m_host.settings().write(key, value); });
        });
        return box;
    }
    case KindField::Widget::Choice: {
        auto* list = named(new QComboBox, field.objectName);
        list->addItems(field.choices);
        list->setCurrentText(settings.read(key));
        connect(list, &QComboBox::currentTextChanged, this, [this, key](const QString& text) {
            m_edits.storeNow([this, key, text] { m_host.settings().write(key, text); });
        });
        return list;
    }
    case KindField::Widget::File:
        return makeFile(field);
    case KindField::Widget::Text:
    case KindField::Widget::OptionalNumber:
        break;
    }
    auto* edit = named(new QLineEdit, field.objectName);
    edit->setPlaceholderText(field.hint);
    if (field.widget == KindField::Widget::OptionalNumber) {
        const int number = settings.readInt(key);
        edit->setText(number > info.min ? QString::number(number) : QString());
        edit->setValidator(new QIntValidator(info.min + 1, info.max, edit));
        edit->setMaximumWidth(90);
        connect(edit, &QLineEdit::textEdited, this, [this, edit, key] {
            m_edits.defer(edit, [this, edit, key] { m_host.settings().write(key, edit->text().toInt()); });
        });
    } else {
        edit->setText(settings.read(key));
        connect(edit, &QLineEdit::textEdited, this, [this, edit, key] {
            m_edits.defer(edit, [this, edit, key] { m_host.settings().write(key, edit->text()); });
        });
    }
    return edit;
}

QWidget* KindTab::makeSecret(const KindField& field, QLabel* place)
{
    auto* edit = named(new QLineEdit, field.objectName);
    edit->setPlaceholderText(field.hint);
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    const Key key = field.key;
    const QString what = field.secretName;
    PasswordStore* store = m_host.secretStore(key);
    connect(edit, &QLineEdit::textEdited, this, [this, edit, key] {
        m_edits.defer(edit, [this, edit, key] {
            if (PasswordStore* keeper = m_host.secretStore(key))
                keeper->save(edit->text());
            else
                m_host.settings().write(key, edit->text());
        });
    });
    if (!store) {
        edit->setText(m_host.settings().read(key));
        place->setText(what.left(1).toUpper() + what.mid(1) + QStringLiteral(" kept in the settings"));
        return edit;
    }
    edit->setText(store->password());
    const auto showPlace = [place, store, what] { place->setText(store->placeText(what)); };
    showPlace();
    connect(store, &PasswordStore::placeChanged, place, showPlace);
    // Opened before the keyring answered: the field shows what it keeps once that is known.
    store->whenReady(edit, [edit, store] { edit->setText(store->password()); });
    return edit;
}

QWidget* KindTab::makeFile(const KindField& field)
{
    // choices: the button's object name, its accessible name, the picker's caption and its filter
    auto* row = new QWidget;
    row->setObjectName(QLatin1String(field.objectName) + QStringLiteral("Row"));
    auto* edit = named(new QLineEdit(m_host.settings().read(field.key)), field.objectName);
    edit->setPlaceholderText(field.hint);
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setObjectName(field.choices.value(0));
    browse->setAccessibleName(field.choices.value(1));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit, 1);
    layout->addWidget(browse);
    row->setFocusProxy(edit);
    const Key key = field.key;
    const auto store = [this, edit, key] { m_host.settings().write(key, edit->text()); };
    connect(edit, &QLineEdit::textEdited, this, [this, edit, store] { m_edits.defer(edit, store); });
    connect(browse, &QPushButton::clicked, this,
            [this, edit, store, caption = field.choices.value(2), filter = field.choices.value(3)] {
                const QString file = QFileDialog::getOpenFileName(this, caption, edit->text(), filter);
                if (file.isEmpty())
                    return;
                edit->setText(file);
                m_edits.storeNow(store);
            });
    return row;
}

void KindTab::testNow()
{
    m_edits.storeNow(); // the test sends what the fields show
    if (m_description.beforeTest)
        m_description.beforeTest(m_host.settings());
    m_test->setEnabled(false);
    m_result->setText(m_description.testingText);
    m_notifiers.test(m_description.kind, 0, [tab = QPointer(this)](const NotificationResult& result) {
        if (!tab)
            return;
        tab->m_test->setEnabled(true);
        tab->m_result->setText(result.message.isEmpty() ? QStringLiteral("Ended") : result.message);
    });
}
