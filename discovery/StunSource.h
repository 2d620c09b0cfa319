#pragma once

#include "discovery/AddressSource.h"
#include "discovery/StunMessage.h"

#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>

/// A stun:HOST[:PORT] source: a Binding request over UDP, sent again after 500 ms and 1.5 s without an
/// answer, whose response's (XOR-)MAPPED-ADDRESS is the answer.
class StunSource : public AddressSource
{
    Q_OBJECT
public:
    StunSource(QString host, quint16 port, QString uri, QObject* parent = nullptr);
    ~StunSource() override;
    void start(int timeoutMs) override;
    void cancel() override;

private:
    void onHostFound(quint64 generation, const QList<QHostAddress>& addresses, const QString& error);
    void send();
    void onReadyRead();
    void haltQuery() override;

    QString m_host;
    quint16 m_port;
    QHostAddress m_server;
    QUdpSocket* m_socket = nullptr;
    StunMessage::TransactionId m_id{};
    QByteArray m_request;
    QTimer m_retransmit;
    QTimer m_deadline;
    int m_sent = 0;
    int m_lookupId = -1;
    QString m_lastError; // the last reason a datagram was refused, reported at the deadline
};
