#include "configure/MqttPane.h"

#include "core/Notifiers.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "widgets/WidgetHelpers.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLineEdit* textField(const char* objectName, Settings& settings, Key key)
{
    auto* field = named(new QLineEdit(settings.read(key)), objectName);
    QObject::connect(field, &QLineEdit::textEdited, field,
                     [&settings, key](const QString& text) { (void)settings.write(key, text); });
    return field;
}

QCheckBox* flagBox(const char* objectName, const QString& caption, Settings& settings, Key key)
{
    auto* box = named(new QCheckBox(caption), objectName);
    box->setChecked(settings.readFlag(key));
    QObject::connect(box, &QCheckBox::toggled, box, [&settings, key](bool on) { (void)settings.writeFlag(key, on); });
    return box;
}
} // namespace

MqttPane::MqttPane(NotificationHost& host, Notifiers& notifiers, QWidget* parent)
    : QWidget(parent), m_host(host), m_notifiers(notifiers), m_password(host.secretStore(Key::MqttPassword))
{
    setObjectName(QStringLiteral("paneMqtt"));
    Settings& settings = host.settings();
    chkMqttNotify = flagBox("chkMqttNotify", QStringLiteral("Publish on change"), settings, Key::MqttNotify);
    txtMqttHost = textField("txtMqttHost", settings, Key::MqttHost);
    txtMqttHost->setPlaceholderText(QStringLiteral("broker.home.arpa"));
    // 0 is stored as empty: the protocol's own port.
    const int port = settings.readInt(Key::MqttPort);
    txtMqttPort = named(new QLineEdit(port > 0 ? QString::number(port) : QString()), "txtMqttPort");
    txtMqttPort->setValidator(new QIntValidator(1, 65535, txtMqttPort));
    txtMqttPort->setPlaceholderText(QStringLiteral("1883 / 8883"));
    txtMqttPort->setMaximumWidth(90);
    connect(txtMqttPort, &QLineEdit::textEdited, this,
            [&settings](const QString& text) { (void)settings.write(Key::MqttPort, text.toInt()); });
    chkMqttTls =
        flagBox("chkMqttTls", QStringLiteral("Use TLS (the broker's certificate is verified)"), settings, Key::MqttTls);
    txtMqttCaFile = textField("txtMqttCaFile", settings, Key::MqttCaFile);
    txtMqttCaFile->setPlaceholderText(QStringLiteral("only for a broker with its own CA"));
    cmdMqttCaFile = named(new QPushButton(QStringLiteral("Browse...")), "cmdMqttCaFile");
    cmdMqttCaFile->setAccessibleName(QStringLiteral("Choose the broker's CA file"));
    txtMqttUser = textField("txtMqttUser", settings, Key::MqttUser);
    txtMqttPassword = named(new QLineEdit, "txtMqttPassword");
    txtMqttPassword->setEchoMode(QLineEdit::Password);
    txtMqttPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    lblMqttPasswordPlace = named(new QLabel, "lblMqttPasswordPlace");
    txtMqttTopic = textField("txtMqttTopic", settings, Key::MqttTopic);
    chkMqttRetain = flagBox("chkMqttRetain", QStringLiteral("Retain the message"), settings, Key::MqttRetain);
    chkMqttDiscovery = flagBox("chkMqttDiscovery", QStringLiteral("Announce the addresses to Home Assistant"), settings,
                               Key::MqttDiscovery);
    txtMqttDiscoveryPrefix = textField("txtMqttDiscoveryPrefix", settings, Key::MqttDiscoveryPrefix);
    cmdMqttTest = named(new QPushButton(QStringLiteral("Test Now")), "cmdMqttTest");
    cmdMqttTest->setAccessibleDescription(QStringLiteral("MQTT"));
    lblMqttResult = named(new QLabel, "lblMqttResult");
    lblMqttResult->setWordWrap(true);
    lblMqttResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* box = named(new QGroupBox(QStringLiteral("MQTT Notification")), "fraMqtt");
    auto* grid = new QGridLayout(box);
    int row = 0;
    grid->addWidget(chkMqttNotify, row++, 0, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("Broker:"), txtMqttHost), row, 0);
    grid->addWidget(txtMqttHost, row, 1);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(buddyLabel(QStringLiteral("Port:"), txtMqttPort));
    portRow->addWidget(txtMqttPort);
    grid->addLayout(portRow, row++, 2);
    grid->addWidget(chkMqttTls, row++, 1, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("CA file:"), txtMqttCaFile), row, 0);
    grid->addWidget(txtMqttCaFile, row, 1);
    grid->addWidget(cmdMqttCaFile, row++, 2);
    grid->addWidget(buddyLabel(QStringLiteral("User name:"), txtMqttUser), row, 0);
    grid->addWidget(txtMqttUser, row++, 1);
    grid->addWidget(buddyLabel(QStringLiteral("Password:"), txtMqttPassword), row, 0);
    grid->addWidget(txtMqttPassword, row++, 1);
    grid->addWidget(lblMqttPasswordPlace, row++, 1, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("Topic:"), txtMqttTopic), row, 0);
    grid->addWidget(txtMqttTopic, row++, 1);
    grid->addWidget(chkMqttRetain, row++, 1, 1, 2);
    grid->addWidget(chkMqttDiscovery, row++, 1, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("Discovery prefix:"), txtMqttDiscoveryPrefix), row, 0);
    grid->addWidget(txtMqttDiscoveryPrefix, row++, 1);
    grid->addWidget(cmdMqttTest, row, 2);
    grid->addWidget(lblMqttResult, row++, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch(1);

    connect(cmdMqttCaFile, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("The broker's CA file"),
                                                          txtMqttCaFile->text(), QStringLiteral("PEM (*.pem *.crt)"));
        if (!file.isEmpty()) {
            txtMqttCaFile->setText(file);
            emit txtMqttCaFile->textEdited(file);
        }
    });
    connect(txtMqttPassword, &QLineEdit::textEdited, this, [this, &settings](const QString& text) {
        if (m_password)
            m_password->save(text);
        else
            (void)settings.write(Key::MqttPassword, text);
    });
    connect(chkMqttTls, &QCheckBox::toggled, this, &MqttPane::updateEnabled);
    connect(chkMqttDiscovery, &QCheckBox::toggled, this, &MqttPane::updateEnabled);
    connect(cmdMqttTest, &QPushButton::clicked, this, &MqttPane::testNow);
    load();
}

void MqttPane::load()
{
    updateEnabled();
    if (!m_password) {
        txtMqttPassword->setText(m_host.settings().read(Key::MqttPassword));
        lblMqttPasswordPlace->setText(QStringLiteral("Password kept in the settings"));
        return;
    }
    showPasswordPlace();
    connect(m_password, &PasswordStore::placeChanged, this, &MqttPane::showPasswordPlace);
    // Opened before the keyring answered: the field shows the keyring's password once it is known.
    m_password->whenReady(this, [this] { txtMqttPassword->setText(m_password->password()); });
}

void MqttPane::showPasswordPlace()
{
    lblMqttPasswordPlace->setText(m_password->placeText());
}

void MqttPane::updateEnabled()
{
    txtMqttCaFile->setEnabled(chkMqttTls->isChecked());
    cmdMqttCaFile->setEnabled(chkMqttTls->isChecked());
    txtMqttDiscoveryPrefix->setEnabled(chkMqttDiscovery->isChecked());
}

void MqttPane::testNow()
{
    lblMqttResult->setText(QStringLiteral("Publishing..."));
    m_notifiers.notify(Notifiers::Kind::Mqtt, [self = QPointer<MqttPane>(this)](const NotificationResult& result) {
        if (self)
            self->lblMqttResult->setText(result.message);
    });
}
