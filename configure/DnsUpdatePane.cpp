#include "configure/DnsUpdatePane.h"

#include "core/Notifiers.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "widgets/WidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>

DnsUpdatePane::DnsUpdatePane(NotificationHost& host, Notifiers& notifiers, QWidget* parent)
    : QGroupBox(QStringLiteral("DNS Update (RFC 2136, signed with TSIG)"), parent), m_host(host), m_notifiers(notifiers)
{
    setObjectName(QStringLiteral("fraDnsUpdate"));
    Settings& settings = host.settings();
    auto* form = new QFormLayout(this);
    chkDnsUpdate = named(new QCheckBox(QStringLiteral("Update on change")), "chkDnsUpdate");
    chkDnsUpdate->setChecked(settings.readFlag(Key::DnsUpdateNotify));
    connect(chkDnsUpdate, &QCheckBox::toggled, this,
            [this](bool on) { m_host.settings().write(Key::DnsUpdateNotify, on ? 1 : 0); });
    form->addRow(chkDnsUpdate);
    form->addRow(QStringLiteral("&Server:"), textField("txtDnsServer", Key::DnsUpdateServer,
                                                       QStringLiteral("the zone's primary: ns1.example.org")));
    auto spinBox = [this, &settings](const char* name, Key key, int least, int most) {
        auto* box = named(new QSpinBox, name);
        box->setRange(least, most);
        box->setValue(settings.readInt(key));
        connect(box, &QSpinBox::valueChanged, this, [this, key](int value) { m_host.settings().write(key, value); });
        return box;
    };
    form->addRow(QStringLiteral("&Port:"), spinBox("spnDnsPort", Key::DnsUpdatePort, 1, 65535));
    form->addRow(QStringLiteral("&Zone:"), textField("txtDnsZone", Key::DnsUpdateZone, QStringLiteral("example.org")));
    form->addRow(QStringLiteral("&Name:"),
                 textField("txtDnsName", Key::DnsUpdateName, QStringLiteral("home.example.org (the zone when empty)")));
    form->addRow(QStringLiteral("&TTL (s):"), spinBox("spnDnsTtl", Key::DnsUpdateTtl, 0, 604800));
    form->addRow(QStringLiteral("&Key name:"), textField("txtDnsKeyName", Key::DnsUpdateKeyName, QString()));
    auto* algorithm = named(new QComboBox, "cboDnsAlgorithm");
    algorithm->addItems({QStringLiteral("hmac-sha256"), QStringLiteral("hmac-sha384"), QStringLiteral("hmac-sha512")});
    algorithm->setCurrentText(settings.read(Key::DnsUpdateAlgorithm));
    connect(algorithm, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { m_host.settings().write(Key::DnsUpdateAlgorithm, text); });
    form->addRow(QStringLiteral("&Algorithm:"), algorithm);

    PasswordStore* secret = host.secretStore(Key::DnsUpdateKeySecret);
    txtDnsSecret = named(new QLineEdit, "txtDnsSecret");
    txtDnsSecret->setEchoMode(QLineEdit::Password);
    txtDnsSecret->setPlaceholderText(QStringLiteral("base64, as in the server's key"));
    txtDnsSecret->setText(secret ? secret->password() : settings.read(Key::DnsUpdateKeySecret));
    connect(txtDnsSecret, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (PasswordStore* store = m_host.secretStore(Key::DnsUpdateKeySecret))
            store->save(text);
        else
            m_host.settings().write(Key::DnsUpdateKeySecret, text);
    });
    form->addRow(QStringLiteral("Key s&ecret:"), txtDnsSecret);
    lblDnsSecretPlace = named(new QLabel, "lblDnsSecretPlace");
    form->addRow(lblDnsSecretPlace);
    if (secret) {
        connect(secret, &PasswordStore::placeChanged, this, &DnsUpdatePane::showSecretPlace);
        // Opened before the keyring answered: the field shows its secret once it is known.
        secret->whenReady(this, [this, secret] { txtDnsSecret->setText(secret->password()); });
    }
    showSecretPlace();

    cmdDnsTest = named(new QPushButton(QStringLiteral("Test Now")), "cmdDnsTest");
    connect(cmdDnsTest, &QPushButton::clicked, this, &DnsUpdatePane::cmdDnsTest_Click);
    lblDnsResult = named(new QLabel, "lblDnsResult");
    lblDnsResult->setWordWrap(true);
    lblDnsResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(cmdDnsTest, lblDnsResult);
}

QLineEdit* DnsUpdatePane::textField(const char* name, Key key, const QString& placeholder)
{
    auto* field = named(new QLineEdit(m_host.settings().read(key)), name);
    field->setPlaceholderText(placeholder);
    connect(field, &QLineEdit::textEdited, this,
            [this, key](const QString& text) { m_host.settings().write(key, text); });
    return field;
}

void DnsUpdatePane::showSecretPlace()
{
    const PasswordStore* secret = m_host.secretStore(Key::DnsUpdateKeySecret);
    lblDnsSecretPlace->setText(secret ? secret->placeText(QStringLiteral("key secret"))
                                      : QStringLiteral("Key secret kept in the settings"));
}

void DnsUpdatePane::cmdDnsTest_Click()
{
    cmdDnsTest->setEnabled(false);
    lblDnsResult->setText(QStringLiteral("Updating..."));
    m_notifiers.notify(Notifiers::Kind::DnsUpdate, [pane = QPointer(this)](const NotificationResult& result) {
        if (!pane)
            return;
        pane->cmdDnsTest->setEnabled(true);
        pane->lblDnsResult->setText(result.message.isEmpty() ? QStringLiteral("Ended") : result.message);
    });
}
