#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QString>

/// One place that can tell this machine's public address.
class AddressSource : public QObject
{
    Q_OBJECT
public:
    explicit AddressSource(QString uri, QObject* parent = nullptr);
    const QString& uri() const;
    /// Starts one query bounded by @p timeoutMs. Ends with exactly one answered() or failed(), never emitted
    /// from inside start() itself. A second start() while one runs restarts it.
    virtual void start(int timeoutMs) = 0;
    /// Stops the query; no signal comes after this.
    virtual void cancel() = 0;

    /// The address family the answer is wanted in; sources that resolve a host name prefer it.
    /// AnyIPProtocol (the default) takes whatever comes.
    void setAddressFamily(QAbstractSocket::NetworkLayerProtocol family) { m_family = family; }
    QAbstractSocket::NetworkLayerProtocol addressFamily() const { return m_family; }

signals:
    void answered(const QHostAddress& address);
    void failed(const QString& reason);

private:
    QString m_uri;
    QAbstractSocket::NetworkLayerProtocol m_family = QAbstractSocket::AnyIPProtocol;
};
