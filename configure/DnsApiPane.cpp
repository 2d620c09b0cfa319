#include "configure/DnsApiPane.h"

#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "widgets/WidgetHelpers.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QLineEdit* field(const char* objectName, const QString& text, const QString& placeholder)
{
    auto* edit = named(new QLineEdit(text), objectName);
    edit->setPlaceholderText(placeholder);
    return edit;
}
} // namespace

DnsApiPane::DnsApiPane(NotificationHost& host, Notifiers& notifiers, QWidget* parent)
    : QWidget(parent), m_host(host), m_notifiers(notifiers)
{
    Settings& settings = host.settings();
    auto* intro = new QLabel(QStringLiteral(
        "When an address changes, point a name's A record (and its AAAA record when there is a public IPv6 "
        "address) at it through Cloudflare's DNS API. A record is changed only when it holds another address; one "
        "that does not exist is created. The token needs the permissions \"Zone - DNS - Edit\" and \"Zone - Zone - "
        "Read\" for the zone."));
    intro->setWordWrap(true);
    chkDnsApiNotify = named(new QCheckBox(QStringLiteral("&Update on change")), "chkDnsApiNotify");
    chkDnsApiNotify->setChecked(settings.readFlag(Key::CloudflareNotify));
    txtDnsApiZone = field("txtDnsApiZone", settings.read(Key::DnsApiZone), QStringLiteral("example.com"));
    txtDnsApiRecord = field("txtDnsApiRecord", settings.read(Key::DnsApiRecord), QStringLiteral("home.example.com"));
    txtDnsApiToken = field("txtDnsApiToken", {}, {});
    txtDnsApiToken->setEchoMode(QLineEdit::Password);
    lblDnsApiTokenPlace = named(new QLabel, "lblDnsApiTokenPlace");
    spnDnsApiTtl = named(new QSpinBox, "spnDnsApiTtl");
    spnDnsApiTtl->setRange(keyInfo(Key::DnsApiTtl).min, keyInfo(Key::DnsApiTtl).max);
    spnDnsApiTtl->setSpecialValueText(QStringLiteral("automatic"));
    spnDnsApiTtl->setSuffix(QStringLiteral(" s"));
    spnDnsApiTtl->setValue(settings.readInt(Key::DnsApiTtl));
    txtDnsApiBaseUrl = field("txtDnsApiBaseUrl", settings.read(Key::DnsApiBaseUrl), {});
    cmdDnsApiTest = named(new QPushButton(QStringLiteral("Test Now")), "cmdDnsApiTest");
    cmdDnsApiTest->setAccessibleDescription(QStringLiteral("DNS API"));
    lblDnsApiResult = named(new QLabel, "lblDnsApiResult");
    lblDnsApiResult->setWordWrap(true);
    lblDnsApiResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* form = new QFormLayout;
    form->addRow(buddyLabel(QStringLiteral("&Zone:"), txtDnsApiZone), txtDnsApiZone);
    form->addRow(buddyLabel(QStringLiteral("&Record name:"), txtDnsApiRecord), txtDnsApiRecord);
    form->addRow(buddyLabel(QStringLiteral("API &token:"), txtDnsApiToken), txtDnsApiToken);
    form->addRow(QString(), lblDnsApiTokenPlace);
    form->addRow(buddyLabel(QStringLiteral("TTL of a new record:"), spnDnsApiTtl), spnDnsApiTtl);
    form->addRow(buddyLabel(QStringLiteral("API address:"), txtDnsApiBaseUrl), txtDnsApiBaseUrl);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(chkDnsApiNotify);
    layout->addLayout(form);
    layout->addWidget(cmdDnsApiTest, 0, Qt::AlignLeft);
    layout->addWidget(lblDnsApiResult);
    layout->addStretch(1);

    connect(chkDnsApiNotify, &QCheckBox::toggled, this,
            [&settings](bool on) { settings.writeFlag(Key::CloudflareNotify, on); });
    const auto store = [this, &settings](QLineEdit* edit, Key key) {
        connect(edit, &QLineEdit::textEdited, this,
                [&settings, key](const QString& text) { settings.write(key, text); });
    };
    store(txtDnsApiZone, Key::DnsApiZone);
    store(txtDnsApiRecord, Key::DnsApiRecord);
    store(txtDnsApiBaseUrl, Key::DnsApiBaseUrl);
    connect(spnDnsApiTtl, &QSpinBox::valueChanged, this, [&settings](int ttl) { settings.write(Key::DnsApiTtl, ttl); });
    connect(cmdDnsApiTest, &QPushButton::clicked, this, &DnsApiPane::testNow);

    if (PasswordStore* token = host.secretStore(Key::DnsApiToken)) {
        connect(txtDnsApiToken, &QLineEdit::textEdited, token, &PasswordStore::save);
        connect(token, &PasswordStore::placeChanged, this, &DnsApiPane::showTokenPlace);
        // Opened before the keyring answered: the field fills in once the token is known.
        token->whenReady(this, [this, token] { txtDnsApiToken->setText(token->password()); });
    } else {
        txtDnsApiToken->setText(settings.read(Key::DnsApiToken));
        connect(txtDnsApiToken, &QLineEdit::textEdited, this,
                [&settings](const QString& text) { settings.write(Key::DnsApiToken, text); });
    }
    showTokenPlace();
}

void DnsApiPane::showTokenPlace()
{
    const PasswordStore* token = m_host.secretStore(Key::DnsApiToken);
    lblDnsApiTokenPlace->setText(token ? token->placeText() : QStringLiteral("Kept in the settings file."));
}

void DnsApiPane::testNow()
{
    // A test asks the API even when the records were last seen to hold these addresses.
    m_host.settings().write(Key::DnsApiLastSet, QString());
    lblDnsApiResult->setText(QStringLiteral("Updating..."));
    m_notifiers.notify(Notifiers::Kind::Cloudflare, [self = QPointer<DnsApiPane>(this)](const NotificationResult& r) {
        if (!self)
            return;
        self->lblDnsApiResult->setText(r.message);
        emit self->tested(r.message);
    });
}
