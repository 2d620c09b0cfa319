#include "configure/DnsHostsPane.h"

#include "configure/PendingEdits.h"
#include "core/Notifiers.h"
#include "core/Settings.h"
#include "dnsapi/DnsProviders.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "widgets/WidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {
enum Column
{
    NameColumn,
    Ipv4Column,
    Ipv6Column,
    TtlColumn,
};
constexpr int MaxTtl = 604800; // a week, as the entries keep it

QLabel* wrapped(QLabel* label)
{
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// "home", "home.example.com", "*.example.com", "@" (the zone itself); letters, digits, hyphens and underscores.
bool isDnsName(const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(@|(\*\.)?[A-Za-z0-9_](?:[A-Za-z0-9_-]{0,62})(\.[A-Za-z0-9_][A-Za-z0-9_-]{0,62})*\.?)$)"));
    return name.size() <= 253 && pattern.match(name).hasMatch();
}

// "API &token:" -> "API token", as a sentence names the field.
QString plainLabel(const char* label)
{
    return QString::fromLatin1(label).remove(u'&').remove(u':').trimmed();
}

QTableWidgetItem* checkItem(bool on)
{
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    return item;
}

// The secrets of @p provider as the store keeps them: one secret is the text itself, several a JSON object.
QMap<QString, QString> secretsOf(const DnsProviderInfo& provider, const QString& stored)
{
    QMap<QString, QString> secrets;
    const QList<QString> names = provider.secretNames();
    if (names.size() == 1) {
        secrets.insert(names.first(), stored);
        return secrets;
    }
    const QJsonObject object = QJsonDocument::fromJson(stored.toUtf8()).object();
    for (const QString& name : names)
        secrets.insert(name, object.value(name).toString());
    return secrets;
}
} // namespace

DnsHostsPane::DnsHostsPane(NotificationHost& host, Notifiers& notifiers, PendingEdits& edits, QWidget* parent)
    : QGroupBox(QStringLiteral("DNS Hosts"), parent), m_host(host), m_notifiers(notifiers), m_edits(edits)
{
    setObjectName(QStringLiteral("fraDnsHosts"));
    auto* layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    layout->addLayout(m_form);
    layout->addStretch(1); // the rows keep their heights in a taller tab
    m_form->addRow(wrapped(new QLabel(QStringLiteral(
        "Names at DNS hosts kept pointing at the addresses through each host's API: a name's A record gets the "
        "external IPv4 address, its AAAA record the public IPv6 address where there is one. A record is changed only "
        "when it holds another address, a missing one is created, none is deleted."))));

    cmbEntry = named(new QComboBox, "cmbDnsHostEntry");
    cmdRemove = named(new QPushButton(QStringLiteral("Remo&ve")), "cmdDnsHostRemove");
    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(cmbEntry, 1);
    entryRow->addWidget(cmdRemove);
    m_form->addRow(buddyLabel(QStringLiteral("&Entry:"), cmbEntry), entryRow);
    chkOn = named(new QCheckBox(QStringLiteral("&Update on change")), "chkDnsHostOn");
    m_form->addRow(static_cast<QWidget*>(nullptr), chkOn);
    cmbProvider = named(new QComboBox, "cmbDnsHostProvider");
    for (const DnsProviderInfo& info : DnsProviders::all())
        cmbProvider->addItem(QString::fromLatin1(info.label), QString::fromLatin1(info.id));
    m_form->addRow(buddyLabel(QStringLiteral("&Provider:"), cmbProvider), cmbProvider);
    lblLinks = named(new QLabel, "lblDnsHostLinks");
    // Not wrapped, here and under the secrets: in the fields' column a wrapped label is given the height of a
    // narrower one.
    lblLinks->setOpenExternalLinks(true);
    lblLinks->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_form->addRow(static_cast<QWidget*>(nullptr), lblLinks);
    txtZone = named(new QLineEdit, "txtDnsHostZone");
    txtZone->setPlaceholderText(QStringLiteral("example.com"));
    m_form->addRow(buddyLabel(QStringLiteral("&Zone:"), txtZone), txtZone);
    m_fieldsRow = m_form->rowCount(); // the provider's own fields go here
    txtLabel = named(new QLineEdit, "txtDnsHostLabel");
    m_form->addRow(buddyLabel(QStringLiteral("&Label:"), txtLabel), txtLabel);
    txtApi = named(new QLineEdit, "txtDnsHostApi");
    txtApi->setToolTip(QStringLiteral("Only for a server of your own that answers as the host's API; empty: the "
                                      "host's own address"));
    m_form->addRow(buddyLabel(QStringLiteral("API a&ddress (advanced):"), txtApi), txtApi);

    tblNames = named(new QTableWidget(0, 4), "tblDnsHostNames");
    tblNames->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("A"), QStringLiteral("AAAA"), QStringLiteral("TTL")});
    tblNames->horizontalHeaderItem(Ipv4Column)->setToolTip(QStringLiteral("The A record follows the IPv4 address"));
    tblNames->horizontalHeaderItem(Ipv6Column)
        ->setToolTip(QStringLiteral("The AAAA record follows the public IPv6 address"));
    tblNames->horizontalHeaderItem(TtlColumn)->setToolTip(
        QStringLiteral("Of a record created, in seconds; empty: the host's default"));
    tblNames->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblNames->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    tblNames->horizontalHeader()->setSectionResizeMode(TtlColumn, QHeaderView::Fixed);
    tblNames->horizontalHeader()->resizeSection(TtlColumn, tblNames->fontMetrics().horizontalAdvance(u'0') * 10);
    tblNames->verticalHeader()->hide();
    tblNames->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblNames->setSelectionMode(QAbstractItemView::SingleSelection);
    tblNames->setFixedHeight(tblNames->horizontalHeader()->sizeHint().height() +
                             4 * tblNames->verticalHeader()->defaultSectionSize() + 4);
    m_form->addRow(buddyLabel(QStringLiteral("&Names:"), tblNames), tblNames);
    cmdAddName = named(new QPushButton(QStringLiteral("&Add name")), "cmdDnsHostAddName");
    cmdRemoveName = named(new QPushButton(QStringLiteral("Remove na&me")), "cmdDnsHostRemoveName");
    auto* nameButtons = new QHBoxLayout;
    nameButtons->addWidget(cmdAddName);
    nameButtons->addWidget(cmdRemoveName);
    nameButtons->addWidget(new QLabel(QStringLiteral("TTL: of a record created (empty: the host's default)")), 1);
    m_form->addRow(static_cast<QWidget*>(nullptr), nameButtons);
    lblMessage = named(wrapped(new QLabel), "lblDnsHostMessage");
    m_form->addRow(lblMessage);
    cmdTest = named(new QPushButton, "cmdDnsHostTest");
    cmdTest->setAccessibleDescription(title());
    lblResult = named(wrapped(new QLabel), "lblDnsHostResult");
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(cmdTest, 0, Qt::AlignTop);
    testRow->addWidget(lblResult, 1);
    m_form->addRow(testRow);
    setStep(Step::Read);

    connect(cmbEntry, &QComboBox::currentIndexChanged, this, &DnsHostsPane::showEntry);
    connect(cmdRemove, &QPushButton::clicked, this, &DnsHostsPane::removeEntry);
    connect(chkOn, &QCheckBox::toggled, this, &DnsHostsPane::changed);
    connect(cmbProvider, &QComboBox::activated, this, &DnsHostsPane::chooseProvider);
    for (QLineEdit* edit : {txtZone, txtLabel, txtApi})
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { edited(edit); });
    connect(tblNames, &QTableWidget::itemChanged, this, &DnsHostsPane::changed);
    connect(cmdAddName, &QPushButton::clicked, this, &DnsHostsPane::addName);
    connect(cmdRemoveName, &QPushButton::clicked, this, &DnsHostsPane::removeName);
    connect(cmdTest, &QPushButton::clicked, this, &DnsHostsPane::testNow);

    listEntries(DnsHostEntries::First);
    showEntry(cmbEntry->currentIndex());
}

void DnsHostsPane::listEntries(int select)
{
    const QSignalBlocker quiet(cmbEntry);
    cmbEntry->clear();
    for (int entry = DnsHostEntries::First; entry <= DnsHostEntries::Last; ++entry) {
        QString error;
        const bool there = DnsHostEntries::load(m_host.settings(), entry, &error) || (entry > 0 && !error.isEmpty());
        if (there)
            cmbEntry->addItem(entryLabel(entry), entry);
    }
    cmbEntry->addItem(QStringLiteral("New entry"), -1);
    cmbEntry->setCurrentIndex(std::max(0, cmbEntry->findData(select)));
}

QString DnsHostsPane::entryLabel(int entry) const
{
    if (entry == 0)
        return QStringLiteral("Cloudflare (earlier settings)");
    QString error;
    const std::optional<DnsHostEntry> value = DnsHostEntries::load(m_host.settings(), entry, &error);
    if (!value)
        return QStringLiteral("%1: (damaged)").arg(entry);
    const DnsProviderInfo* info = DnsProviders::find(value->provider);
    QString name = !value->label.isEmpty() ? value->label : info ? QString::fromLatin1(info->label) : value->provider;
    if (!value->zone.isEmpty())
        name += QStringLiteral(" (%1)").arg(value->zone);
    return QStringLiteral("%1: %2").arg(entry).arg(name);
}

const DnsProviderInfo& DnsHostsPane::provider() const
{
    const DnsProviderInfo* info = DnsProviders::find(cmbProvider->currentData().toString());
    return info ? *info : DnsProviders::all().front();
}

PasswordStore* DnsHostsPane::secretStore() const
{
    return m_entry < 0 ? nullptr : m_host.secretStore(DnsHostEntries::secretKey(m_entry));
}

QString DnsHostsPane::storedSecret() const
{
    if (m_entry < 0)
        return {};
    const PasswordStore* store = secretStore();
    return store ? store->password() : m_host.settings().read(DnsHostEntries::secretKey(m_entry));
}

QString DnsHostsPane::shownSecret() const
{
    const QList<QString> names = provider().secretNames();
    if (names.size() == 1)
        return m_values.value(names.first());
    QJsonObject secrets;
    for (const QString& name : names) {
        if (!m_values.value(name).isEmpty())
            secrets.insert(name, m_values.value(name));
    }
    return secrets.isEmpty() ? QString() : QString::fromUtf8(QJsonDocument(secrets).toJson(QJsonDocument::Compact));
}

void DnsHostsPane::showEntry(int index)
{
    m_edits.storeNow(); // what was typed goes to the entry it was typed for
    m_entry = cmbEntry->itemData(index).toInt();
    m_new = m_entry < 0;
    QString error;
    DnsHostEntry value;
    value.provider = QString::fromLatin1(DnsProviders::all().front().id);
    if (m_new) {
        for (int entry = 1; entry <= DnsHostEntries::Last && m_entry < 0; ++entry) {
            if (!DnsHostEntries::load(m_host.settings(), entry, &error) && error.isEmpty())
                m_entry = entry;
        }
        error.clear();
    } else if (std::optional<DnsHostEntry> loaded = DnsHostEntries::load(m_host.settings(), m_entry, &error)) {
        value = *loaded;
    }
    m_loading = true;
    chkOn->setChecked(value.on);
    int provider = cmbProvider->findData(value.provider);
    cmbProvider->setCurrentIndex(std::max(0, provider));
    txtZone->setText(value.zone);
    txtLabel->setText(value.label);
    // The provider's own address shows as the hint: the entry of old keys stores it, the others leave it empty.
    txtApi->setText(value.api == QLatin1String(this->provider().api) ? QString() : value.api);
    showNames(value.names);
    m_values = value.fields;
    if (!m_new) // a free entry may still hold the secret of one removed earlier: the new one starts empty
        m_values.insert(secretsOf(this->provider(), storedSecret()));
    showProvider();
    m_loading = false;
    if (PasswordStore* store = secretStore(); store && !m_new && !store->isReady()) {
        // Opened before the keyring answered: the secret fields show what it keeps once that is known.
        store->whenReady(this, [this, entry = m_entry] {
            if (m_entry != entry)
                return;
            m_values.insert(secretsOf(this->provider(), storedSecret()));
            for (const auto& [field, edit] : std::as_const(m_fields)) {
                if (field->secret)
                    edit->setText(m_values.value(QString::fromLatin1(field->name)));
            }
        });
    }

    for (QWidget* widget :
         std::initializer_list<QWidget*>{chkOn, txtZone, txtLabel, txtApi, tblNames, cmdRemoveName, cmdTest})
        widget->setEnabled(m_entry >= 0);
    cmbProvider->setEnabled(m_entry > 0); // the entry of old keys is always Cloudflare's
    cmdAddName->setEnabled(m_entry >= 0 && tblNames->rowCount() < DnsHostEntries::MaxNames);
    cmdRemove->setEnabled(!m_new);
    if (m_entry < 0)
        lblMessage->setText(QStringLiteral("All %1 entries are in use: remove one first.").arg(DnsHostEntries::Last));
    else if (!error.isEmpty())
        lblMessage->setText(
            QStringLiteral("The stored entry is damaged (%1); it is skipped until saved anew.").arg(error));
    else if (provider < 0)
        lblMessage->setText(QStringLiteral("The stored provider \"%1\" is not known here.").arg(value.provider));
    else
        lblMessage->clear();
    lblResult->clear();
    ++m_edit;
    setStep(Step::Read);
}

void DnsHostsPane::showNames(const QList<DnsHostName>& names)
{
    const QSignalBlocker quiet(tblNames);
    tblNames->setRowCount(0);
    for (const DnsHostName& name : names) {
        const int row = tblNames->rowCount();
        tblNames->insertRow(row);
        auto* item = new QTableWidgetItem(name.name);
        item->setData(Qt::UserRole, name.flags); // the provider's own flags, kept as they were
        tblNames->setItem(row, NameColumn, item);
        tblNames->setItem(row, Ipv4Column, checkItem(name.ipv4));
        tblNames->setItem(row, Ipv6Column, checkItem(name.ipv6));
        tblNames->setItem(row, TtlColumn, new QTableWidgetItem(name.ttl > 0 ? QString::number(name.ttl) : QString()));
    }
}

void DnsHostsPane::showProvider()
{
    const DnsProviderInfo& info = provider();
    // The rows of the provider's fields, and the line under its secrets, are made anew for each provider.
    while (m_form->rowCount() > m_fieldsRow && m_form->itemAt(m_fieldsRow, QFormLayout::FieldRole) &&
           m_form->itemAt(m_fieldsRow, QFormLayout::FieldRole)->widget() != txtLabel)
        m_form->removeRow(m_fieldsRow);
    m_fields.clear();
    lblSecretPlace = nullptr;

    QStringList links;
    if (*info.tokenPage)
        links << QStringLiteral("Make the token at <a href=\"%1\">%1</a>").arg(QString::fromLatin1(info.tokenPage));
    if (*info.docs)
        links << QStringLiteral("<a href=\"%1\">API documentation</a>").arg(QString::fromLatin1(info.docs));
    lblLinks->setText(links.join(QStringLiteral(" &middot; ")));
    m_form->setRowVisible(txtZone, info.needsZone);
    txtLabel->setPlaceholderText(QString::fromLatin1(info.label));
    txtApi->setPlaceholderText(QString::fromLatin1(info.api));

    int row = m_fieldsRow;
    for (const DnsProviderField& field : info.fields) {
        const QString name = QString::fromLatin1(field.name);
        auto* edit = new QLineEdit(m_values.value(name));
        edit->setObjectName(QStringLiteral("txtDnsHost_") + name);
        edit->setPlaceholderText(*field.hint      ? QString::fromLatin1(field.hint)
                                 : field.optional ? QStringLiteral("optional")
                                                  : QString());
        if (field.secret) {
            edit->setEchoMode(QLineEdit::Password);
            edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
        }
        connect(edit, &QLineEdit::textEdited, this, [this, edit, name] {
            m_values.insert(name, edit->text());
            edited(edit);
        });
        m_form->insertRow(row++, buddyLabel(QString::fromLatin1(field.label), edit), edit);
        m_fields.append({&field, edit});
    }
    const QList<QString> secrets = info.secretNames();
    if (!secrets.isEmpty()) {
        lblSecretPlace = named(new QLabel, "lblDnsHostSecretPlace");
        QString what = QStringLiteral("secrets");
        for (const DnsProviderField& field : info.fields) {
            if (field.secret && secrets.size() == 1)
                what = plainLabel(field.label);
        }
        if (PasswordStore* store = secretStore()) {
            const auto showPlace = [place = lblSecretPlace, store, what] { place->setText(store->placeText(what)); };
            showPlace();
            connect(store, &PasswordStore::placeChanged, lblSecretPlace, showPlace);
        } else {
            lblSecretPlace->setText(QStringLiteral("The %1 %2 kept in the settings").arg(what, what.endsWith(u's') ? "are" : "is"));
        }
        m_form->insertRow(row, static_cast<QWidget*>(nullptr), lblSecretPlace);
    }
}

void DnsHostsPane::chooseProvider(int index)
{
    (void)index;
    if (m_loading)
        return;
    showProvider(); // what was typed for another provider's fields of the same name shows again
    changed();
}

void DnsHostsPane::edited(QWidget* field)
{
    if (m_loading)
        return;
    ++m_edit;
    setStep(Step::Read);
    m_edits.defer(field, [this] { store(); });
}

void DnsHostsPane::changed()
{
    if (m_loading)
        return;
    ++m_edit;
    setStep(Step::Read);
    m_edits.storeNow([this] { store(); });
}

std::optional<DnsHostEntry> DnsHostsPane::shownEntry(QString* error) const
{
    DnsHostEntry value;
    const DnsProviderInfo& info = provider();
    value.provider = QString::fromLatin1(info.id);
    value.on = chkOn->isChecked();
    value.label = txtLabel->text().trimmed();
    value.zone = txtZone->text().trimmed();
    if (!value.zone.isEmpty() && !isDnsName(value.zone)) {
        *error = QStringLiteral("the zone \"%1\" is no domain name").arg(value.zone);
        return std::nullopt;
    }
    for (const auto& [field, edit] : m_fields) {
        if (!field->secret && !edit->text().trimmed().isEmpty())
            value.fields.insert(QString::fromLatin1(field->name), edit->text().trimmed());
    }
    value.api = txtApi->text().trimmed();
    if (!value.api.isEmpty()) {
        const QUrl api(value.api, QUrl::StrictMode);
        if (!api.isValid() || api.host().isEmpty() ||
            (api.scheme() != QLatin1String("https") && api.scheme() != QLatin1String("http"))) {
            *error = QStringLiteral("the API address is no http:// or https:// address");
            return std::nullopt;
        }
    }
    for (int row = 0; row < tblNames->rowCount(); ++row) {
        const QTableWidgetItem* item = tblNames->item(row, NameColumn);
        DnsHostName name;
        name.name = item ? item->text().trimmed() : QString();
        if (name.name.isEmpty())
            continue; // a row being filled in
        if (!isDnsName(name.name)) {
            *error = QStringLiteral("\"%1\" is no DNS name (letters, digits and hyphens, parts joined by dots, or "
                                    "@ for the zone itself)")
                         .arg(name.name);
            return std::nullopt;
        }
        name.ipv4 = tblNames->item(row, Ipv4Column)->checkState() == Qt::Checked;
        name.ipv6 = tblNames->item(row, Ipv6Column)->checkState() == Qt::Checked;
        const QString ttl =
            tblNames->item(row, TtlColumn) ? tblNames->item(row, TtlColumn)->text().trimmed() : QString();
        bool number = true;
        name.ttl = ttl.isEmpty() ? 0 : ttl.toInt(&number);
        if (!number || name.ttl < 0 || name.ttl > MaxTtl) {
            *error = QStringLiteral("the TTL of %1 is no number of seconds up to %2").arg(name.name).arg(MaxTtl);
            return std::nullopt;
        }
        name.flags = item->data(Qt::UserRole).toJsonObject();
        value.names.append(name);
    }
    return value;
}

QStringList DnsHostsPane::missing(const DnsHostEntry& value) const
{
    QStringList lacking;
    if (provider().needsZone && value.zone.isEmpty())
        lacking << QStringLiteral("the zone");
    for (const auto& [field, edit] : m_fields) {
        if (!field->optional && edit->text().trimmed().isEmpty())
            lacking << plainLabel(field->label);
    }
    if (value.names.isEmpty())
        lacking << QStringLiteral("a name");
    return lacking;
}

bool DnsHostsPane::store()
{
    if (m_loading || m_entry < 0)
        return false;
    QString error;
    const std::optional<DnsHostEntry> value = shownEntry(&error);
    if (!value || !DnsHostEntries::save(m_host.settings(), m_entry, *value, &error)) {
        lblMessage->setText(QStringLiteral("Not saved: ") + error); // the fields keep what was typed
        return false;
    }
    if (const QString secret = shownSecret(); secret != storedSecret()) {
        if (PasswordStore* store = secretStore())
            store->save(secret);
        else
            (void)m_host.settings().write(DnsHostEntries::secretKey(m_entry), secret);
    }
    const QStringList lacking = missing(*value);
    lblMessage->setText(lacking.isEmpty()
                            ? QStringLiteral("Saved.")
                            : QStringLiteral("Saved; still to fill in: %1.").arg(lacking.join(QStringLiteral(", "))));
    if (m_new) {
        m_new = false;
        listEntries(m_entry);
        cmdRemove->setEnabled(true);
    } else {
        cmbEntry->setItemText(cmbEntry->currentIndex(), entryLabel(m_entry));
    }
    return true;
}

void DnsHostsPane::setStep(Step step)
{
    m_step = step;
    cmdTest->setText(step == Step::Read ? QStringLiteral("Test Now") : QStringLiteral("Update &Now"));
}

void DnsHostsPane::testNow()
{
    m_edits.storeNow();
    if (!store())
        return; // the reason shows
    const Step step = m_step;
    cmdTest->setEnabled(false);
    lblResult->setText(step == Step::Read ? QStringLiteral("Reading...") : QStringLiteral("Updating..."));
    auto done = [self = QPointer(this), step, edit = m_edit, entry = m_entry](const NotificationResult& result) {
        if (!self || self->m_entry != entry)
            return; // another entry is shown now, with its own button
        self->cmdTest->setEnabled(self->m_entry >= 0);
        self->lblResult->setText(result.message.isEmpty() ? QStringLiteral("Ended") : result.message);
        // What was read is offered for an update only while the fields still hold what was read for.
        if (self->m_edit == edit)
            self->setStep(step == Step::Read && result.ok() ? Step::Update : Step::Read);
    };
    if (step == Step::Read)
        m_notifiers.preview(Notifiers::Kind::DnsHosts, m_entry, std::move(done));
    else
        m_notifiers.test(Notifiers::Kind::DnsHosts, m_entry, std::move(done));
}

void DnsHostsPane::removeEntry()
{
    m_edits.storeNow(); // nothing typed is stored after the removal
    if (m_new || m_entry < 0)
        return;
    DnsHostEntries::remove(m_host.settings(), m_entry);
    if (PasswordStore* store = secretStore())
        store->save(QString());
    else
        (void)m_host.settings().write(DnsHostEntries::secretKey(m_entry), QString());
    listEntries(m_entry);
    showEntry(cmbEntry->currentIndex());
}

void DnsHostsPane::addName()
{
    if (tblNames->rowCount() >= DnsHostEntries::MaxNames)
        return;
    const int row = tblNames->rowCount();
    {
        const QSignalBlocker quiet(tblNames); // an empty row is stored once it has a name
        tblNames->insertRow(row);
        tblNames->setItem(row, NameColumn, new QTableWidgetItem);
        tblNames->setItem(row, Ipv4Column, checkItem(true));
        tblNames->setItem(row, Ipv6Column, checkItem(true));
        tblNames->setItem(row, TtlColumn, new QTableWidgetItem);
    }
    cmdAddName->setEnabled(tblNames->rowCount() < DnsHostEntries::MaxNames);
    tblNames->setCurrentCell(row, NameColumn);
    tblNames->editItem(tblNames->item(row, NameColumn));
}

void DnsHostsPane::removeName()
{
    const int row = tblNames->currentRow();
    if (row < 0)
        return;
    tblNames->removeRow(row);
    cmdAddName->setEnabled(tblNames->rowCount() < DnsHostEntries::MaxNames);
    changed();
}
