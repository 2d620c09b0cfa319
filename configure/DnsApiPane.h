#pragma once

#include "core/Notifiers.h"

#include <QWidget>

class NotificationHost;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

/// "DNS API": the DNS host's web API as a notification. Its switch ("Update on change"), the zone, the record
/// name, the API token (masked, kept by its own password store), the TTL of a record it creates and the API's
/// address, each stored as it is edited, and "Test Now", which updates the record with the addresses shown now.
class DnsApiPane : public QWidget
{
    Q_OBJECT
public:
    DnsApiPane(NotificationHost& host, Notifiers& notifiers, QWidget* parent = nullptr);

public slots:
    void testNow();

signals:
    /// "Test Now" ended with @p text shown.
    void tested(const QString& text);

private:
    void showTokenPlace();

    NotificationHost& m_host;
    Notifiers& m_notifiers;
    QCheckBox* chkDnsApiNotify = nullptr;
    QLineEdit* txtDnsApiZone = nullptr;
    QLineEdit* txtDnsApiRecord = nullptr;
    QLineEdit* txtDnsApiToken = nullptr;
    QLabel* lblDnsApiTokenPlace = nullptr;
    QSpinBox* spnDnsApiTtl = nullptr;
    QLineEdit* txtDnsApiBaseUrl = nullptr;
    QPushButton* cmdDnsApiTest = nullptr;
    QLabel* lblDnsApiResult = nullptr;
};
