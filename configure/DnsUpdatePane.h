#pragma once

#include <QGroupBox>

class NotificationHost;
class Notifiers;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
enum class Key;

/// "DNS Update": the name to keep at the external addresses and where and how to update it. Every field is stored
/// as it is edited, the key's secret through its password store (masked); "Test Now" updates with the addresses
/// shown now and shows what came of it.
class DnsUpdatePane : public QGroupBox
{
    Q_OBJECT
public:
    DnsUpdatePane(NotificationHost& host, Notifiers& notifiers, QWidget* parent = nullptr);

public slots:
    void cmdDnsTest_Click();

private:
    QLineEdit* textField(const char* name, Key key, const QString& placeholder);
    void showSecretPlace();

    NotificationHost& m_host;
    Notifiers& m_notifiers;
    QCheckBox* chkDnsUpdate = nullptr;
    QLineEdit* txtDnsSecret = nullptr;
    QLabel* lblDnsSecretPlace = nullptr;
    QPushButton* cmdDnsTest = nullptr;
    QLabel* lblDnsResult = nullptr;
};
