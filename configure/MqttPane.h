#pragma once

#include <QWidget>

class NotificationHost;
class Notifiers;
class PasswordStore;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// "MQTT": the broker, its security and login, the topic, Home Assistant discovery, the "Publish on change" switch
/// and "Test Now", which publishes the addresses shown now and shows the outcome. Every field is stored as it is
/// edited; the password goes to its PasswordStore and is shown masked.
class MqttPane : public QWidget
{
    Q_OBJECT
public:
    MqttPane(NotificationHost& host, Notifiers& notifiers, QWidget* parent = nullptr);

public slots:
    void testNow();

private:
    void load();
    void showPasswordPlace();
    void updateEnabled();

    NotificationHost& m_host;
    Notifiers& m_notifiers;
    PasswordStore* m_password;

    QCheckBox* chkMqttNotify = nullptr;
    QLineEdit* txtMqttHost = nullptr;
    QLineEdit* txtMqttPort = nullptr;
    QCheckBox* chkMqttTls = nullptr;
    QLineEdit* txtMqttCaFile = nullptr;
    QPushButton* cmdMqttCaFile = nullptr;
    QLineEdit* txtMqttUser = nullptr;
    QLineEdit* txtMqttPassword = nullptr;
    QLabel* lblMqttPasswordPlace = nullptr;
    QLineEdit* txtMqttTopic = nullptr;
    QCheckBox* chkMqttRetain = nullptr;
    QCheckBox* chkMqttDiscovery = nullptr;
    QLineEdit* txtMqttDiscoveryPrefix = nullptr;
    QPushButton* cmdMqttTest = nullptr;
    QLabel* lblMqttResult = nullptr;
};
